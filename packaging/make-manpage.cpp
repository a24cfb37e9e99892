// Writes the manual page of corvala-check: the template with the placeholders
// filled in from the checker's own --help text.
//   make-manpage TEMPLATE OUTPUT VERSION
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "cli/options.h"
#include "packaging/manpage.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make-manpage TEMPLATE OUTPUT VERSION\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        std::ostringstream pageTemplate;
        pageTemplate << in.rdbuf();

        const std::string page =
            corvala::packaging::RenderManPage(pageTemplate.str(), corvala::cli::HelpText(), argv[3]);

        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << page;
        out.close();
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& e) {
        std::remove(argv[2]);  // no half-made page for the install to pick up
        std::cerr << "make-manpage: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

// Start-up: the application, the one window, the event loop.
#include "ui/Application.h"
#include "ui/Unit1.h"

int main(int argc, char** argv) {
    corvala::ui::TApplication application(argc, argv);
    corvala::ui::TForm1 window;
    window.show();
    return application.exec();
}

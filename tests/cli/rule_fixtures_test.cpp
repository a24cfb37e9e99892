// The fixtures of each rule, tests/rules/<rule-id>/: every bad*.txt must
// make corvala-check report the rule, every good*.txt (a near miss) must
// not. Each fixture starts with a comment line "* RUN: <options>" that says
// how it is checked.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "engine/rules/checks_beyond_lines.h"
#include "engine/model/rule_docs.h"
#include "run_checker.h"

namespace corvala::cli::testing {
namespace {

namespace fs = std::filesystem;

struct Fixture {
    std::string rule;
    fs::path path;
    bool bad;
};

std::vector<Fixture> AllFixtures() {
    std::vector<Fixture> fixtures;
    for (const auto& folder : fs::directory_iterator(CORVALA_RULES_DIR)) {
        if (!folder.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(folder.path())) {
            const std::string name = file.path().filename().string();
            const bool bad = name.rfind("bad", 0) == 0, good = name.rfind("good", 0) == 0;
            if ((bad || good) && file.path().extension() == ".txt")
                fixtures.push_back({folder.path().filename().string(), file.path(), bad});
        }
    }
    std::sort(fixtures.begin(), fixtures.end(), [](const Fixture& a, const Fixture& b) { return a.path < b.path; });
    return fixtures;
}

// The options of the "* RUN:" line.
std::vector<std::string> RunOptions(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    const std::string marker = "* RUN:";
    std::vector<std::string> options;
    if (text.rfind(marker, 0) != 0) return options;
    std::istringstream words(text.substr(marker.size(), text.find('\n') - marker.size()));
    for (std::string word; words >> word;) options.push_back(word);
    return options;
}

class RuleFixture : public ::testing::TestWithParam<Fixture> {};

TEST_P(RuleFixture, ReportsItsRuleExactlyWhenBad) {
    const Fixture& f = GetParam();
    std::vector<std::string> args = RunOptions(ReadAll(f.path.string()));
    ASSERT_FALSE(args.empty()) << f.path << " lacks its \"* RUN:\" line";
    args.push_back("--format=json");
    args.push_back(f.path.string());
    const RunResult r = RunChecker(args);
    ASSERT_LE(r.status, 1) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out);
    std::vector<int> lines;
    for (const auto& finding : report["files"][0]["findings"])
        if (finding["rule"] == f.rule) lines.push_back(finding["line"].get<int>());
    if (f.bad)
        EXPECT_FALSE(lines.empty()) << f.path << " does not trigger " << f.rule << "\n" << r.out;
    else
        EXPECT_TRUE(lines.empty()) << f.path << " triggers " << f.rule << " on line " << lines.front();
}

INSTANTIATE_TEST_SUITE_P(Rules, RuleFixture, ::testing::ValuesIn(AllFixtures()),
                         [](const ::testing::TestParamInfo<Fixture>& info) {
                             std::string name = info.param.rule + "_" + info.param.path.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Every rule beyond the classic line checks has both kinds of fixture.
TEST(RuleFixtures, EveryBlockFileAndExtendedRuleHasBadAndGoodOnes) {
    const std::vector<Fixture> fixtures = AllFixtures();
    for (const RuleInfo& rule : AllRules()) {
        const bool classicLine = rule.family == RuleFamily::Line && rule.severities[0].has_value();
        if (classicLine) continue;
        for (const bool bad : {true, false}) {
            const bool found = std::any_of(fixtures.begin(), fixtures.end(),
                                           [&](const Fixture& f) { return f.rule == rule.id && f.bad == bad; });
            EXPECT_TRUE(found) << "tests/rules/" << rule.id << "/ has no " << (bad ? "bad" : "good") << " fixture";
        }
    }
    for (const Fixture& f : fixtures) EXPECT_NE(FindRule(f.rule), nullptr) << f.path << ": no such rule";
}

// The fix fixtures: tests/rules/<rule-id>/fix*.txt, mended by --fix with the
// options of its "* RUN:" line, becomes fix*.fixed byte for byte, no longer
// reports the rule, and a second --fix changes nothing.
struct FixFixture {
    std::string rule;
    fs::path input;
};

std::vector<FixFixture> AllFixFixtures() {
    std::vector<FixFixture> fixtures;
    for (const auto& folder : fs::directory_iterator(CORVALA_RULES_DIR))
        for (const auto& file : fs::directory_iterator(folder.path()))
            if (file.path().filename().string().rfind("fix", 0) == 0 && file.path().extension() == ".txt")
                fixtures.push_back({folder.path().filename().string(), file.path()});
    std::sort(fixtures.begin(), fixtures.end(), [](const auto& a, const auto& b) { return a.input < b.input; });
    return fixtures;
}

void PrintTo(const FixFixture& f, std::ostream* os) { *os << f.input; }

class RuleFix : public ::testing::TestWithParam<FixFixture> {};

TEST_P(RuleFix, MendsTheFixtureIntoItsFixedText) {
    const FixFixture& f = GetParam();
    test::ScratchDir scratch;
    const std::string path = scratch.Write("fixture.txt", ReadAll(f.input.string()));
    std::vector<std::string> options = RunOptions(ReadAll(f.input.string()));
    ASSERT_FALSE(options.empty()) << f.input << " lacks its \"* RUN:\" line";
    auto fix = [&] {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--fix", path});
        return RunChecker(args);
    };
    const RunResult first = fix();
    ASSERT_LE(first.status, 1) << first.err;
    fs::path expected = f.input;
    expected.replace_extension(".fixed");
    EXPECT_TRUE(ReadAll(path) == ReadAll(expected.string())) << f.input << " became:\n" << ReadAll(path);

    std::erase(options, "--unsafe-fixes");
    std::vector<std::string> check = options;
    check.insert(check.end(), {"--format=json", path});
    const nlohmann::json report = nlohmann::json::parse(RunChecker(check).out);
    for (const auto& finding : report["files"][0]["findings"])
        EXPECT_NE(finding["rule"], f.rule) << "line " << finding["line"] << ": " << finding["message"];

    const std::string once = ReadAll(path);
    fix();
    EXPECT_TRUE(ReadAll(path) == once) << "a second --fix changed " << f.input;
}

INSTANTIATE_TEST_SUITE_P(Rules, RuleFix, ::testing::ValuesIn(AllFixFixtures()),
                         [](const ::testing::TestParamInfo<FixFixture>& info) {
                             std::string name = info.param.rule + "_" + info.param.input.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Every rule with a fix has a fixture pair for it.
TEST(RuleFixtures, EveryFixableRuleHasAFixFixture) {
    const std::vector<FixFixture> fixtures = AllFixFixtures();
    for (const RuleInfo& rule : AllRules()) {
        if (!FixOf(static_cast<RuleId>(&rule - AllRules().data()))) continue;
        EXPECT_TRUE(std::any_of(fixtures.begin(), fixtures.end(), [&](const FixFixture& f) { return f.rule == rule.id; }))
            << "tests/rules/" << rule.id << "/ has no fix fixture";
    }
}

// docs/rules.md is what the rule table renders.
TEST(RulesDocument, IsTheOneTheRuleTableMakes) {
    const RunResult r = RunChecker({"--list-rules", "--format=markdown"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == ReadAll(CORVALA_RULES_DOCUMENT))
        << "docs/rules.md differs from the rule table: run scripts/update-rules-doc";
}

// The example of each rule's documentation reports the rule.
TEST(RulesDocument, EveryExampleReportsItsRule) {
    test::ScratchDir scratch;
    for (const RuleInfo& rule : AllRules()) {
        const RuleDoc* doc = DocOf(static_cast<RuleId>(&rule - AllRules().data()));
        if (!doc) continue;
        const std::string path = scratch.Write(std::string(rule.id) + ".txt", std::string(doc->example));
        std::vector<std::string> args = RunOptions("* RUN: " + std::string(doc->options));
        args.push_back("--format=json");
        args.push_back(path);
        const RunResult r = RunChecker(args);
        bool found = false;
        const nlohmann::json report = nlohmann::json::parse(r.out);
        for (const auto& finding : report["files"][0]["findings"])
            found = found || finding["rule"].get<std::string>() == rule.id;
        EXPECT_TRUE(found) << "the example of " << rule.id << " does not report it:\n" << r.out << r.err;
    }
}

}  // namespace
}  // namespace corvala::cli::testing

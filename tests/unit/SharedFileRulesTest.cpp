// The decision on a shared file's count, and the spellings its count is looked up under.
#include "rules/SharedFileRules.h"
#include <gtest/gtest.h>

namespace {

TEST(SharedFileRules, DecisionByCount)
{
    const unsigned char two[] = {2, 0, 0, 0}, one[] = {1, 0, 0, 0}, zero[] = {0, 0, 0, 0};
    const unsigned char big[] = {0x00, 0x01, 0x00, 0x80}, text[] = {'2', 0, 0, 0};
    struct Row {
        bool found;
        unsigned long type;
        const unsigned char* data;
        size_t size;
        SharedFileAction action;
        uint32_t newCount;
        RefusalRule rule;
    } rows[] = {
        {false, 0, nullptr, 0, SharedFileAction::kDelete, 0, RefusalRule::kNone},
        {true, kCountTypeDword, two, 4, SharedFileAction::kKeepAndRelease, 1, RefusalRule::kSharedFile},
        {true, kCountTypeBinary, two, 4, SharedFileAction::kKeepAndRelease, 1, RefusalRule::kSharedFile},
        {true, kCountTypeDword, big, 4, SharedFileAction::kKeepAndRelease, 0x800000FFu, RefusalRule::kSharedFile},
        {true, kCountTypeDword, one, 4, SharedFileAction::kDeleteAndForget, 0, RefusalRule::kNone},
        {true, kCountTypeDword, zero, 4, SharedFileAction::kDeleteAndForget, 0, RefusalRule::kNone},
        // A count that cannot be read keeps the file: someone recorded that it is shared.
        {true, 1 /* REG_SZ */, text, 4, SharedFileAction::kKeep, 0, RefusalRule::kUnreadableShareCount},
        {true, kCountTypeBinary, two, 2, SharedFileAction::kKeep, 0, RefusalRule::kUnreadableShareCount},
        {true, kCountTypeDword, nullptr, 0, SharedFileAction::kKeep, 0, RefusalRule::kUnreadableShareCount},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SharedFileDecision decision = DecideSharedFile(rows[i].found, rows[i].type, rows[i].data, rows[i].size);
        EXPECT_EQ(static_cast<int>(rows[i].action), static_cast<int>(decision.action)) << "row " << i;
        EXPECT_STREQ(RefusalRuleName(rows[i].rule), RefusalRuleName(decision.rule)) << "row " << i;
        if (rows[i].action == SharedFileAction::kKeepAndRelease) {
            EXPECT_EQ(rows[i].newCount, decision.newCount) << "row " << i;
        }
    }
}

// A system-directory file goes when its version information names the product's vendor or none.
TEST(SharedFileRules, CompanyOfASystemFile)
{
    const struct Row { const char* company; RefusalRule rule; } rows[] = {
        {"", RefusalRule::kNone},
        {"  \t", RefusalRule::kNone},
        {"Morwa Software", RefusalRule::kNone},
        {" MORWA SOFTWARE S.L. ", RefusalRule::kNone},
        {"Morwa", RefusalRule::kNone},
        {"Microsoft Corporation", RefusalRule::kOtherCompany},
        {"Morwan Tools", RefusalRule::kOtherCompany},
        {"Northwind Traders (for Morwa Software)", RefusalRule::kOtherCompany},
    };
    for (const Row& row : rows)
        EXPECT_STREQ(RefusalRuleName(row.rule), RefusalRuleName(CheckFileCompany(row.company))) << row.company;
}

TEST(SharedFileRules, SpellingsAreTriedOnceEach)
{
    const std::vector<std::string> all = {"C:\\WINDOWS\\SYSTEM\\qelcommon.dll", "C:\\Windows\\System\\QelCommon.dll",
                                          "C:\\WINDOWS\\SYSTEM\\QELCOM~1.DLL"};
    EXPECT_EQ((std::vector<std::string>{all[0], all[2]}), SharedFileNames(all[0], all[1], all[2]));
    EXPECT_EQ(std::vector<std::string>{all[0]}, SharedFileNames(all[0], "", ""));
    EXPECT_EQ((std::vector<std::string>{all[0], "C:\\LONG\\qelcommon.dll"}),
              SharedFileNames(all[0], "C:\\LONG\\qelcommon.dll", all[0]));
}

}  // namespace

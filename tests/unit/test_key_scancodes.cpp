// test-links: core
// Set-1 scan codes (as Windows reports them) to the usages of the key table.
#include <gtest/gtest.h>

#include "core/key_scancodes.h"
#include "core/key_translate.h"

namespace {

TEST(UsageOfSet1, PlainAndE0KeysOfThePcKeyboard) {
    struct Row {
        int scan;
        bool extended;
        int usage;
    };
    const Row rows[] = {
        {0x01, false, usage::escape},       {0x1E, false, usage::a},
        {0x39, false, usage::space},        {0x1C, false, usage::enter},
        {0x1C, true, usage::keypad_enter},  {0x48, true, usage::up},
        {0x48, false, usage::keypad_8},     {0x52, true, usage::insert},
        {0x52, false, usage::keypad_0},     {0x53, true, usage::del},
        {0x1D, false, usage::left_ctrl},    {0x1D, true, usage::right_ctrl},
        {0x38, false, usage::left_alt},     {0x38, true, usage::right_alt},
        {0x3B, false, usage::f1},           {0x44, false, usage::f10},
        {0x57, false, usage::f11},          {0x58, false, usage::f12},
        {0x2B, false, 49 /* backslash */},  {0x35, true, 84 /* keypad slash */},
        {0x45, true, 83 /* Num Lock */},    {0x7F, false, 0},
        {0x00, false, 0},                   {0x39, true, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(usage_of_set1(row.scan, row.extended), row.usage) << std::hex << row.scan << " " << row.extended;
    }
    EXPECT_EQ(usage_of_set1(-1, false), 0);
    EXPECT_EQ(usage_of_set1(128, false), 0);
}

// Every code the table gives back names a key whose own set-1 code it is,
// so key_state sees a key under the code it was pressed with.
TEST(UsageOfSet1, GoesBackToTheSameCode) {
    int named = 0;
    for (const bool extended : {false, true}) {
        for (int scan = 1; scan < key_state_entries; ++scan) {
            const int key = usage_of_set1(scan, extended);
            if (key == 0) continue;
            ++named;
            EXPECT_EQ(set1_code(key), scan) << std::hex << scan << " " << extended;
        }
    }
    EXPECT_GT(named, 100);
}

}  // namespace

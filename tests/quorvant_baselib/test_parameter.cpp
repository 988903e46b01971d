// Parameter-name table and tags.
#include <gtest/gtest.h>

#include <string>

#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"

namespace {

class ParameterTable : public ::testing::Test {
protected:
    void SetUp() override { resetParamTab(); }
    void TearDown() override { resetParamTab(); }
};

std::string addCaptured(const char *name, int *rc) {
    testing::internal::CaptureStdout();
    *rc = addParam2Tab(name);
    return testing::internal::GetCapturedStdout();
}

TEST_F(ParameterTable, NameRulesAndMessages) {
    struct Case {
        const char *name;
        int rc;
        const char *message;
    };
    const Case cases[] = {
        {"k_1", 0, ""},
        {"abcdefghijklmno", 0, ""},  // 15 characters
        {"abcdefghijklmnop", -1, "ERROR: Too Long Param Name[abcdefghijklmnop] > [15]\n"},
        {"k-1", -1, "ERROR: Not Param Name[k-1]\n"},
        {"k 1", -1, "ERROR: Not Param Name[k 1]\n"},
        {"", -1, "ERROR: No Param Name Def.\n"},
        {nullptr, -1, "ERROR: No Param Name Def.\n"},
        {"K_1", 0, ""},  // differs from k_1 only in case
        {"k_1", 0, ""},  // a second k_1 is allowed; lookups find the first
    };
    for (const Case &c : cases) {
        int rc = 0;
        EXPECT_EQ(addCaptured(c.name, &rc), c.message) << (c.name ? c.name : "(null)");
        EXPECT_EQ(rc, c.rc) << (c.name ? c.name : "(null)");
    }
    EXPECT_EQ(getEventParamNum(), 4);
    EXPECT_EQ(Name2Pno("k_1"), 1);
    EXPECT_EQ(Name2Pno("abcdefghijklmno"), 2);
    EXPECT_EQ(Name2Pno("K_1"), 3);
    EXPECT_EQ(Name2Pno("abcdefghijklmnop"), 0);
    EXPECT_EQ(Name2Pno("nothere"), 0);
    EXPECT_EQ(Name2Pno(nullptr), 0);
    EXPECT_STREQ(Pno2Name(3), "K_1");
    EXPECT_EQ(Pno2Name(0), nullptr);
    EXPECT_EQ(Pno2Name(5), nullptr);
    EXPECT_EQ(isPno("K_1", 3), 1);
    EXPECT_EQ(isPno("k_1", 3), 0);
    EXPECT_EQ(isPno("k_1", 99), 0);
    EXPECT_EQ(getParamNum(), 0);  // four names less the four event names
}

TEST_F(ParameterTable, TableNeverOverflows) {
    char name[16];
    for (int k = 0; k < 128; ++k) {
        std::snprintf(name, sizeof name, "p%d", k);
        ASSERT_EQ(addParam2Tab(name), 0) << k;
    }
    int rc = 0;
    EXPECT_EQ(addCaptured("extra", &rc), "ERROR: Param Name Table Full[extra] > [128]\n");
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(getEventParamNum(), 128);
    EXPECT_EQ(Name2Pno("p127"), 128);
}

TEST_F(ParameterTable, IsParamCharacters) {
    EXPECT_TRUE(isparam('a') && isparam('Z') && isparam('0') && isparam('9') && isparam('_'));
    const int others[] = {'-', ' ', '.', '\n', '\r', 0, 0xE9, -23, 200};
    for (int c : others) EXPECT_FALSE(isparam(c)) << c;
}

TEST_F(ParameterTable, ParamTagsLatestWinsAndTruncate) {
    const std::string longText(100, 'x');
    EXPECT_EQ(putParamTag(2, 1, "first"), 0);
    EXPECT_EQ(putParamTag(2, 2, "other"), 0);
    EXPECT_EQ(putParamTag(2, 1, "second"), 0);
    EXPECT_EQ(putParamTag(3, 1, longText.c_str()), 0);
    EXPECT_EQ(putParamTag(128, 1, nullptr), 0);
    EXPECT_STREQ(getParamTag(2, 1), "second");
    EXPECT_STREQ(getParamTag(2, 2), "other");
    EXPECT_STREQ(getParamTag(3, 1), std::string(63, 'x').c_str());
    EXPECT_STREQ(getParamTag(128, 1), "");
    EXPECT_EQ(getParamTag(2, 3), nullptr);
    EXPECT_EQ(putParamTag(0, 1, "x"), -1);
    EXPECT_EQ(putParamTag(129, 1, "x"), -1);
    EXPECT_EQ(getParamTag(0, 1), nullptr);
    freeParamTag();
    EXPECT_EQ(getParamTag(2, 1), nullptr);
}

TEST_F(ParameterTable, VarTagBounds) {
    EXPECT_EQ(putVarTag(0, "a"), -1);
    EXPECT_EQ(putVarTag(513, "a"), -1);
    EXPECT_EQ(putVarTag(512, "last"), 0);
    EXPECT_EQ(putVarTag(1, std::string(100, 'y').c_str()), 0);
    EXPECT_STREQ(getVarTag(512), "last");
    EXPECT_STREQ(getVarTag(1), std::string(63, 'y').c_str());
    EXPECT_STREQ(getVarTag(2), "");
    EXPECT_STREQ(getVarTag(0), "");
    EXPECT_STREQ(getVarTag(513), "");
}

TEST_F(ParameterTable, ResetClearsEverything) {
    ASSERT_EQ(addParam2Tab("k1"), 0);
    putVarTag(1, "t");
    putParamTag(1, 1, "t");
    ParamT.val[1][1] = 5.0;
    Param.n_var = 3;
    resetParamTab();
    EXPECT_EQ(getEventParamNum(), 0);
    EXPECT_EQ(Name2Pno("k1"), 0);
    EXPECT_STREQ(getVarTag(1), "");
    EXPECT_EQ(getParamTag(1, 1), nullptr);
    EXPECT_EQ(ParamT.val[1][1], 0.0);
    EXPECT_EQ(Param.n_var, 0);
}

}  // namespace

// The INI text as QSettings writes and reads it. The expected values are what Qt 6's
// QSettings makes of the same lines (IniQtPeerTest checks against Qt itself where it is
// installed).

#include <gtest/gtest.h>

#include "settings/IniText.h"

namespace {

TEST(IniValue, ReadsWhatQSettingsReads) {
    struct Case {
        const char* raw;
        std::optional<std::string> text;
        bool list;
    };
    const Case cases[] = {
        {"plain", "plain", false},
        {"  spaced value  ", "spaced value", false},
        {"\"quoted , value\" tail", "quoted , valuetail", false},
        {"\" lead\"", " lead", false},
        {"a, b ,c", "a,b,c", true},
        {"@@lit", "@lit", false},
        {"@Invalid()", std::nullopt, false},
        {"@ByteArray(raw)", "raw", false},
        {"\\x41\\x42z \\101", "ABz A", false},
        {"caf\\xe9", "caf\xc3\xa9", false},                // a Qt 5 file: UTF-16 escapes
        {"\\xd83d\\xde00", "\xf0\x9f\x98\x80", false},      // a surrogate pair
        {"C:\\\\Users\\\\me\\\\fw.hex", "C:\\Users\\me\\fw.hex", false},
        {"\"a,b;c=d \\\"q\\\" \\\\ back\"", "a,b;c=d \"q\" \\ back", false},
        {"tab\\tand\\nnewline", "tab\tand\nnewline", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        const std::optional<IniValue> value = ParseIniValue(c.raw);
        ASSERT_EQ(value.has_value(), c.text.has_value());
        if (!value) continue;
        EXPECT_EQ(value->text, *c.text);
        EXPECT_EQ(value->list, c.list);
    }
}

TEST(IniValue, WritesWhatQSettingsWritesAndReadsItBack) {
    struct Case {
        std::string text;
        const char* raw;  // as Qt 6 writes it
    };
    const Case cases[] = {
        {"a,b;c=d \"q\" \\ back", "\"a,b;c=d \\\"q\\\" \\\\ back\""},
        {" lead", "\" lead\""},
        {"@at", "@@at"},
        {"\xc3\x9cn\xc3\xaf\tcode\x01" "1x", "\xc3\x9cn\xc3\xaf\\tcode\\x1\\x31x"},
        {"", ""},
        {"C:\\Users\\me\\fw.hex", "C:\\\\Users\\\\me\\\\fw.hex"},
        {"/home/me/fw.hex", "/home/me/fw.hex"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(FormatIniText(c.text), c.raw);
        const std::optional<IniValue> back = ParseIniValue(FormatIniText(c.text));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->text, c.text);
        EXPECT_FALSE(back->list);
    }
}

TEST(IniDocument, FindsTopLevelKeysTheWayQSettingsDoes) {
    const IniDocument ini(
        "A=top\r\n"
        "; B=commented\n"
        "[general]\n"
        "A=second\n"
        "B=1\n"
        "C=semi;after\n"
        "[Other]\n"
        "D=other\n"
        "[General]\n"
        "B=2\n"
        "not a key line\n");
    EXPECT_EQ(ini.RawValue("A"), "second");  // the later line counts
    EXPECT_EQ(ini.RawValue("B"), "2");
    EXPECT_EQ(ini.RawValue("C"), "semi");
    EXPECT_EQ(ini.RawValue("D"), std::nullopt);  // not a top-level key
    EXPECT_EQ(ini.RawValue("not a key line"), std::nullopt);
}

TEST(IniDocument, SavingChangesOnlyTheLinesOfTheKeysWritten) {
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"new file", "", "[General]\nK=new\n"},
        {"replaced in place, later duplicate dropped, the rest kept",
         "; mine\n[General]\nK=old\nX=keep\nnot a key line\n\n[Other]\nK=other\n[General]\nK=older\n",
         "; mine\n[General]\nK=new\nX=keep\nnot a key line\n\n[Other]\nK=other\n[General]\n"},
        {"added to the first [General]", "[General]\nX=1\n\n[Other]\nY=2\n", "[General]\nX=1\nK=new\n\n[Other]\nY=2\n"},
        {"a [General] made before other sections", "[Other]\nY=2\n", "[General]\nK=new\n\n[Other]\nY=2\n"},
        {"a byte-order mark stays in front", "\xEF\xBB\xBF[Other]\nK=other\n",
         "\xEF\xBB\xBF[General]\nK=new\n\n[Other]\nK=other\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IniDocument ini(c.before);
        ini.SetRawValue("K", "new");
        EXPECT_EQ(ini.Text(), c.after);
        EXPECT_EQ(IniDocument(ini.Text()).RawValue("K"), "new");
    }
}

}  // namespace

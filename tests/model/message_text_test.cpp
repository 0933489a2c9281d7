#include "model/message_text.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(MessageText, WhatTheUnitCannotStoreBecomesAsciiAndIsNamed) {
    struct Case {
        const char* in;  // UTF-8
        const char* text;
        const char* description;
    };
    const Case cases[] = {
        {"FIRE ALARM", "FIRE ALARM", ""},
        {"TAB\there\x7F", "TAB\there\x7F", ""},  // control characters are stored as they are
        {"Caf\xC3\xA9 \xE2\x80\x93 Ward 2", "Cafe - Ward 2",
         "The unit cannot store some characters of this message: \xC3\xA9 became e and "
         "\xE2\x80\x93 became -."},
        {"\xE2\x80\x9CSmoke\xE2\x80\x9D\xE2\x80\xA6", "\"Smoke\"...",
         "The unit cannot store some characters of this message: \xE2\x80\x9C became \", "
         "\xE2\x80\x9D became \" and \xE2\x80\xA6 became ...."},
        {"\xE6\x97\xA5 a\xE6\x97\xA5", "? a?",  // no ASCII form; named once
         "The unit cannot store a character of this message: \xE6\x97\xA5 became ?."},
        {"Ward\xE2\x80\x8B"
         "2",
         "Ward2", "The unit cannot store a character of this message: U+200B became nothing."},
        {"bad \xC3 byte", "bad A byte",  // not UTF-8: the byte is taken as Latin-1
         "The unit cannot store a character of this message: \xC3\x83 became A."},
        // The unit keeps one blank between words: what goes is named too.
        {"a  b", "a b",
         "The unit keeps one blank between words and none at either end: runs of "
         "blanks became one."},
        {" pad ", "pad",
         "The unit keeps one blank between words and none at either end: blanks "
         "at the ends were dropped."},
        {"A\xC2\xA0 B\xE2\x80\x8B ", "A B",  // converted blanks count, invisible ones do not
         "The unit cannot store some characters of this message: 0xA0 became a space and U+200B "
         "became nothing. The unit keeps one blank between words and none at either end: runs of "
         "blanks became one and blanks at the ends were dropped."},
    };
    for (const auto& c : cases) {
        const UnitMessage m = MessageForUnit(c.in);
        EXPECT_EQ(m.text, c.text) << c.in;
        EXPECT_EQ(DescribeMessageChanges(m), c.description) << c.in;
    }
}

TEST(MessageText, LongTextIsCutAtTheLimitAndTheRestNamed) {
    const std::string in = std::string(68, 'A') + "\xC2\xBD" + "BC";  // "½" becomes "1/2"
    const UnitMessage m = MessageForUnit(in);
    EXPECT_EQ(m.text, std::string(68, 'A'));  // "1/2" would not fit whole
    EXPECT_EQ(m.cutOff,
              "\xC2\xBD"
              "BC");
    EXPECT_EQ(DescribeMessageChanges(m),
              "It was cut to 69 characters; \"\xC2\xBD"
              "BC\" was left out.");
    EXPECT_FALSE(MessageForUnit(std::string(69, 'x')).changed());
    // Blanks count once they separate words; those at the cut go with what is left out.
    EXPECT_EQ(MessageForUnit(std::string(67, 'A') + "   B").text, std::string(67, 'A') + " B");
    const UnitMessage cut = MessageForUnit(std::string(68, 'A') + "  B");
    EXPECT_EQ(cut.cutOff, "  B");
    EXPECT_FALSE(cut.blankRuns || cut.endBlanks);
    EXPECT_EQ(MessageForUnit(std::string(200, 'x'), 0).text.size(), 200u);
}

TEST(MessageText, RecordBytesAreReadAsLatin1) {
    const UnitMessage m = MessageForUnitFromLatin1(std::string("Caf\xE9\0X", 6));
    EXPECT_EQ(m.text, "Cafe?X");
    ASSERT_EQ(m.changes.size(), 2u);
    EXPECT_EQ(m.changes[0].from, "\xC3\xA9");
    EXPECT_EQ(m.changes[1].to, "?");
}

}  // namespace
}  // namespace orv

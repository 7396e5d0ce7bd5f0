#include "core/textConversion.h"

#include <gtest/gtest.h>

#include <clocale>

using engine::core::NarrowToWide;
using engine::core::WideToNarrow;

TEST(TextConversion, RoundTripsUtf8WhateverTheProcessLocale) {
    std::setlocale(LC_ALL, "C");
    const std::string narrow = "data/sc\xC3\xA8ne \xE2\x82\xAC.tvo";
    const std::wstring wide = NarrowToWide(narrow);
    EXPECT_EQ(wide, L"data/sc\u00E8ne \u20AC.tvo");
    EXPECT_EQ(WideToNarrow(wide), narrow);
    EXPECT_EQ(WideToNarrow(L""), "");
}

TEST(TextConversion, InvalidBytesBecomeQuestionMarks) {
    EXPECT_EQ(NarrowToWide("a\xFF"
                           "b\xC3"),
              L"a?b?");
}

#include "engine/Fingerprint.h"

#include "engine/MarketData.h"
#include "support/PriceBuilder.h"

#include <gtest/gtest.h>

using namespace kestrelan;

// A fingerprint is of what the run read: a changed price changes it, the blanks a record pads
// with do not; ksp.txt counts only when the funds took their conditions from it.
TEST(FingerprintTest, WhatTheRunReadAndNothingElse)
{
    const auto of = [](const std::string& prices, bool autoSet) {
        RunData data;
        data.kospi = IndexFile::fromBytes(indexRecordBytes(20040102, 80000, 81000));
        data.items = {{"123450 ONE                 ", 1000000}, {"123450 ONE                 ", 1000000}};
        data.priceFiles.emplace("123450", PriceFile::fromBytes(prices));
        data.files = {&data.priceFiles.at("123450"), &data.priceFiles.at("123450")};
        data.autoSet = autoSet;
        return marketFingerprints(data);
    };
    const std::string prices = test::priceBytes({{20040102, {10000, 10100}}});
    const auto plain = of(prices, false);
    ASSERT_EQ(plain.size(), 2u); // kospi.lst, and the stock once however often it appears
    EXPECT_EQ(plain[1].first, "123450");
    std::string padded = prices;
    padded[priceRecordSize + 12] = 'x'; // after the number: atoi stops before it
    EXPECT_EQ(of(padded, false), plain);
    EXPECT_NE(of(test::priceBytes({{20040102, {10000, 10200}}}), false)[1], plain[1]);
    EXPECT_EQ(of(prices, true).at(1).first, "ksp.txt");
}

#include "core/settings/MemorySettingsStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace parlune {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;
using Dictionary = std::map<std::string, json>;

constexpr auto int64Max = std::numeric_limits<std::int64_t>::max();
constexpr auto int64Min = std::numeric_limits<std::int64_t>::min();

// What each typed read makes of one stored value.
struct ReadCase {
    std::string name;
    json stored;
    std::optional<std::string> string;
    bool boolean;
    std::optional<std::int64_t> integer;
    std::optional<double> real;
    std::optional<Strings> stringArray;
    std::optional<Dictionary> dictionary;
    std::optional<Bytes> data;
};

// Test names in listings show the case name rather than its bytes.
void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class TypedReads : public testing::TestWithParam<ReadCase> {};

TEST_P(TypedReads, InterpretTheStoredValue) {
    const ReadCase& c = GetParam();
    MemorySettingsStore store(json{{"key", c.stored}});

    EXPECT_EQ(store.string("key"), c.string);
    EXPECT_EQ(store.boolean("key"), c.boolean);
    EXPECT_EQ(store.integer("key"), c.integer);
    EXPECT_EQ(store.real("key"), c.real);
    EXPECT_EQ(store.stringArray("key"), c.stringArray);
    EXPECT_EQ(store.dictionary("key"), c.dictionary);
    EXPECT_EQ(store.data("key"), c.data);
}

const ReadCase readCases[] = {
    {"String", "text", "text", false, {}, {}, {}, {}, {}},
    {"EmptyString", "", "", false, {}, {}, {}, {}, {}},
    {"True", true, {}, true, {}, {}, {}, {}, {}},
    {"False", false, {}, false, {}, {}, {}, {}, {}},
    {"Zero", 0, {}, false, 0, 0.0, {}, {}, {}},
    {"PositiveInteger", 7, {}, true, 7, 7.0, {}, {}, {}},
    {"NegativeInteger", -3, {}, true, -3, -3.0, {}, {}, {}},
    {"FloatZero", 0.0, {}, false, 0, 0.0, {}, {}, {}},
    {"FractionTruncatesDown", 2.9, {}, true, 2, 2.9, {}, {}, {}},
    {"NegativeFractionTruncatesTowardZero", -2.9, {}, true, -2, -2.9, {}, {}, {}},
    {"SmallFractionIsTrue", 0.25, {}, true, 0, 0.25, {}, {}, {}},
    {"HugeFloatClampsToMax", 1e300, {}, true, int64Max, 1e300, {}, {}, {}},
    {"HugeNegativeFloatClampsToMin", -1e300, {}, true, int64Min, -1e300, {}, {}, {}},
    {"UnsignedAboveInt64ClampsToMax", std::numeric_limits<std::uint64_t>::max(), {}, true, int64Max,
     static_cast<double>(std::numeric_limits<std::uint64_t>::max()), {}, {}, {}},
    {"Int64Min", int64Min, {}, true, int64Min, static_cast<double>(int64Min), {}, {}, {}},
    {"Null", nullptr, {}, false, {}, {}, {}, {}, {}},
    {"StringArray", json::array({"a", "b"}), {}, false, {}, {}, Strings{"a", "b"}, {}, {}},
    {"EmptyArray", json::array(), {}, false, {}, {}, Strings{}, {}, {}},
    {"MixedArray", json::array({"a", 1}), {}, false, {}, {}, {}, {}, {}},
    {"NumberString", "12", "12", false, {}, {}, {}, {}, {}},
    {"Object", json{{"k", 1}, {"s", "v"}}, {}, false, {}, {}, {}, Dictionary{{"k", 1}, {"s", "v"}}, {}},
    {"EmptyObject", json::object(), {}, false, {}, {}, {}, Dictionary{}, {}},
    {"Data", json{{"$base64", "AAH/"}}, {}, false, {}, {}, {}, Dictionary{{"$base64", "AAH/"}},
     Bytes{0x00, 0x01, 0xFF}},
    {"Base64TextIsNotData", "AAH/", "AAH/", false, {}, {}, {}, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Values, TypedReads, testing::ValuesIn(readCases),
                         [](const testing::TestParamInfo<ReadCase>& param) { return param.param.name; });

TEST(TypedReadsOfMissingKey, AreAbsentAndFalse) {
    MemorySettingsStore store;

    EXPECT_EQ(store.string("missing"), std::nullopt);
    EXPECT_FALSE(store.boolean("missing"));
    EXPECT_EQ(store.integer("missing"), std::nullopt);
    EXPECT_EQ(store.real("missing"), std::nullopt);
    EXPECT_EQ(store.stringArray("missing"), std::nullopt);
    EXPECT_EQ(store.dictionary("missing"), std::nullopt);
    EXPECT_EQ(store.data("missing"), std::nullopt);
}

// The stored form is what the command line and a hand-edited file see, so it is fixed.
TEST(TypedWrites, StoreThePlainJsonForm) {
    MemorySettingsStore store;
    store.setString("string", "hello");
    store.setBoolean("boolean", true);
    store.setInteger("integer", int64Min);
    store.setReal("real", 0.5);
    store.setStringArray("array", {"x", "y"});
    store.setDictionary("dictionary", {{"n", 1}, {"list", json::array({true})}});
    store.setData("data", {0xFB, 0xFF});

    EXPECT_EQ(store.snapshot(), json::parse(R"({
        "string": "hello",
        "boolean": true,
        "integer": -9223372036854775808,
        "real": 0.5,
        "array": ["x", "y"],
        "dictionary": {"n": 1, "list": [true]},
        "data": {"$base64": "+/8="}
    })"));
}

struct Base64Case {
    std::string bytes;
    std::string encoded;
};

void PrintTo(const Base64Case& c, std::ostream* out) { *out << '"' << c.encoded << '"'; }

class Base64Vectors : public testing::TestWithParam<Base64Case> {};

TEST_P(Base64Vectors, EncodeAndDecode) {
    const Bytes bytes(GetParam().bytes.begin(), GetParam().bytes.end());
    const json stored = {{"$base64", GetParam().encoded}};

    EXPECT_EQ(SettingsStore::encodeData(bytes), stored);
    EXPECT_EQ(SettingsStore::decodeData(stored), bytes);
}

// The test vectors of RFC 4648, plus the two characters that differ between alphabets.
INSTANTIATE_TEST_SUITE_P(Rfc4648, Base64Vectors,
                         testing::Values(Base64Case{"", ""}, Base64Case{"f", "Zg=="}, Base64Case{"fo", "Zm8="},
                                         Base64Case{"foo", "Zm9v"}, Base64Case{"foob", "Zm9vYg=="},
                                         Base64Case{"fooba", "Zm9vYmE="}, Base64Case{"foobar", "Zm9vYmFy"},
                                         Base64Case{"\xFB\xFF", "+/8="}));

TEST(DataRoundTrip, KeepsEveryByteValueAndLength) {
    std::vector<Bytes> samples = {{}, {0x00}, {0x00, 0x00}, {0xFF, 0x00, 0x80}, {0x00, 0xFF, 0x10, 0x7F}};
    Bytes everyByte;
    for (int b = 0; b < 256; ++b) everyByte.push_back(static_cast<std::uint8_t>(b));
    samples.push_back(everyByte);
    samples.emplace_back(everyByte.rbegin(), everyByte.rend());

    MemorySettingsStore store;
    for (const Bytes& sample : samples) {
        store.setData("blob", sample);
        EXPECT_EQ(store.data("blob"), sample) << store.value("blob")->dump();
    }
}

class BadData : public testing::TestWithParam<json> {};

TEST_P(BadData, IsAbsent) {
    MemorySettingsStore store(json{{"blob", GetParam()}});

    EXPECT_EQ(SettingsStore::decodeData(GetParam()), std::nullopt);
    EXPECT_EQ(store.data("blob"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    MalformedText, BadData,
    testing::Values(json{{"$base64", "Zg="}},     // not a multiple of four
                    json{{"$base64", "Zg"}},      // padding missing
                    json{{"$base64", "Z==="}},    // too much padding
                    json{{"$base64", "===="}},    // padding only
                    json{{"$base64", "Zm=v"}},    // padding in the middle
                    json{{"$base64", "Zg==Zg=="}},  // padding before the end
                    json{{"$base64", "Zh=="}},    // unused bits set
                    json{{"$base64", "Zm9="}},    // unused bits set, one pad
                    json{{"$base64", "Zm8-"}},    // URL-safe alphabet
                    json{{"$base64", "Zm9v\n"}},  // line feed
                    json{{"$base64", "Zm 9v"}},   // space
                    json{{"$base64", "Zm9v\xC3\xA9=="}}));  // non-ASCII

INSTANTIATE_TEST_SUITE_P(WrongShape, BadData,
                         testing::Values(json("Zm9v"), json{{"$base64", 5}}, json{{"$base64", nullptr}},
                                         json{{"$base64", "Zm9v"}, {"extra", 1}}, json{{"base64", "Zm9v"}},
                                         json::object(), json::array({"Zm9v"}), json(nullptr)));

TEST(MemorySettingsStore, RecordsWritesButNotReads) {
    MemorySettingsStore store(json{{"seeded", 1}});
    (void)store.integer("seeded");
    (void)store.snapshot();
    EXPECT_EQ(store.writeCount(), 0u);

    store.setBoolean("b", true);
    store.remove("seeded");
    store.remove("never-set");
    store.setValue("b", 2);

    EXPECT_EQ(store.writtenKeys(), (Strings{"b", "seeded", "never-set", "b"}));
    EXPECT_EQ(store.writeCount(), 4u);
    EXPECT_EQ(store.snapshot(), json({{"b", 2}}));
}

}  // namespace
}  // namespace parlune

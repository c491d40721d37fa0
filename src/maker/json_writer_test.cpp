// The JSON writer: what a reader needs to trust its output, whatever the
// names it is given (quotes, control characters, bytes that are not UTF-8).

#include "maker/json_writer.h"

#include <gtest/gtest.h>

namespace corvane::maker {
namespace {

TEST(JsonWriter, NestsWithCommasAndIndentsTwoSpaces) {
  JsonWriter json;
  json.BeginObject();
  json.Key("a");
  json.Number(1);
  json.Key("list");
  json.BeginArray();
  json.Bool(true);
  json.Number(uint64_t{18446744073709551615u});
  json.Number(int64_t{-5});
  json.EndArray();
  json.Key("empty");
  json.BeginObject();
  json.EndObject();
  json.Key("none");
  json.BeginArray();
  json.EndArray();
  json.Key("seconds");
  json.Decimal(1.23456);
  // A literal stays a string: it must not become the truth value a pointer
  // converts to.
  json.Field("kind", "whole");
  json.Field("done", false);
  json.EndObject();
  EXPECT_EQ(json.text(),
            "{\n"
            "  \"a\": 1,\n"
            "  \"list\": [\n"
            "    true,\n"
            "    18446744073709551615,\n"
            "    -5\n"
            "  ],\n"
            "  \"empty\": {},\n"
            "  \"none\": [],\n"
            "  \"seconds\": 1.235,\n"
            "  \"kind\": \"whole\",\n"
            "  \"done\": false\n"
            "}\n");
}

TEST(JsonWriter, StringsAreEscapedAndAlwaysValidUtf8) {
  auto quoted = [](std::string_view text) {
    JsonWriter json;
    json.String(text);
    return json.text();
  };
  EXPECT_EQ(quoted("DATA\\A \"B\".DAT"), "\"DATA\\\\A \\\"B\\\".DAT\"");
  EXPECT_EQ(quoted(std::string_view("a\nb\tc\x01\x7f\0", 8)), "\"a\\nb\\tc\\u0001\\u007f\\u0000\"");
  // Well-formed UTF-8 passes; a lone continuation byte, a code page 1252
  // byte, an overlong form, a surrogate and a cut sequence become U+FFFD.
  EXPECT_EQ(quoted("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
  EXPECT_EQ(quoted("\x80"), "\"\xEF\xBF\xBD\"");
  EXPECT_EQ(quoted("caf\xE9"), "\"caf\xEF\xBF\xBD\"");
  EXPECT_EQ(quoted("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(quoted("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(quoted("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace corvane::maker

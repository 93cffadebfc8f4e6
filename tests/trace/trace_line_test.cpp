#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/collecting_trace_sink.h"
#include "trace/trace.h"

namespace fpu {
namespace {

using CollectingSink = testing::CollectingTraceSink;

struct LineCase {
  TraceLabel label;
  std::int32_t value;
  const char* text;
};

const LineCase kLineCases[] = {
    {TraceLabel::rot1, 25, "rot1 = 25"},
    {TraceLabel::rot2, -3, "rot2 = -3"},
    {TraceLabel::rol1, 0, "rol1 = 0"},
    {TraceLabel::rol2, 199, "rol2 = 199"},
    {TraceLabel::rayon1, 241, "rayon1 = 241"},
    {TraceLabel::rayon2, INT32_MAX, "rayon2 = 2147483647"},
    {TraceLabel::eAX, -200, "eAX = -200, Dist Z"},
    {TraceLabel::eAX, INT32_MIN, "eAX = -2147483648, Dist Z"},
    {TraceLabel::xopc, 62, "xopc = 62, ---- Z"},
    // z_degrees is 16-bit; the caller sign-extends, so a negative angle stays negative.
    {TraceLabel::xopc, static_cast<std::int16_t>(-5), "xopc = -5, ---- Z"},
    {TraceLabel::xopc, static_cast<std::int16_t>(-32768), "xopc = -32768, ---- Z"},
    {TraceLabel::separator, 0, "----------------------------------------"},
    {TraceLabel::separator, -77, "----------------------------------------"},
};

// gtest shows a case by its expected text, not by its bytes.
void PrintTo(const LineCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class TraceLineText : public ::testing::TestWithParam<LineCase> {};

TEST_P(TraceLineText, ComposedAndEmittedAlike) {
  const LineCase& c = GetParam();
  EXPECT_EQ(compose_trace_line(c.label, c.value), c.text);
  CollectingSink sink;
  emit_trace(sink, c.label, c.value);
  EXPECT_EQ(sink.lines, std::vector<std::string>{c.text});
}

// Named after the line's first word and the value, if any: xopc_neg5, separator.
std::string case_name(const ::testing::TestParamInfo<LineCase>& info) {
  const std::string text = info.param.text;
  std::string name = text[0] == '-' ? "separator" : text.substr(0, text.find(' '));
  if (info.param.value != 0) {
    const std::string value = std::to_string(info.param.value);
    name += value[0] == '-' ? "_neg" + value.substr(1) : "_" + value;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllLabels, TraceLineText, ::testing::ValuesIn(kLineCases), case_name);

TEST(TraceLine, SeparatorIsFortyHyphens) {
  EXPECT_EQ(compose_trace_line(TraceLabel::separator, 0), std::string(40, '-'));
}

TEST(TraceLine, LabelOutsideTheTableSendsNothing) {
  const auto bad = static_cast<TraceLabel>(99);
  EXPECT_EQ(compose_trace_line(bad, 1), "");
  CollectingSink sink;
  emit_trace(sink, bad, 1);
  EXPECT_TRUE(sink.lines.empty());
}

}  // namespace
}  // namespace fpu

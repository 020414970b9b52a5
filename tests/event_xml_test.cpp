// The reader of an event's XML: the pairs of EventData and UserData, decoded, in order.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "reading/event_xml.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct Row {
  const char* name;
  std::string xml;
  Pairs pairs;
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

void collect(void* context, qv::XmlSpan name, qv::XmlSpan value) {
  static_cast<Pairs*>(context)->emplace_back(std::string(name.text, name.length),
                                             std::string(value.text, value.length));
}

class EventXmlTest : public ::testing::TestWithParam<Row> {};

TEST_P(EventXmlTest, PairsInOrder) {
  const Row& row = GetParam();
  std::vector<char> scratch(row.xml.size());
  Pairs got;
  const DWORD count = qv::scan_event_data(row.xml.data(), static_cast<DWORD>(row.xml.size()),
                                          scratch.data(), collect, &got);
  EXPECT_EQ(got, row.pairs);
  EXPECT_EQ(count, row.pairs.size());
  EXPECT_EQ(qv::scan_event_data(row.xml.data(), static_cast<DWORD>(row.xml.size()), scratch.data(),
                                nullptr, nullptr),
            row.pairs.size());
}

const std::string kSystem =
    "<Event xmlns='http://schemas.microsoft.com/win/2004/08/events/event'><System><Provider "
    "Name='P'/><TimeCreated SystemTime='2013-10-23T16:22:39.973500000Z'/></System>";

INSTANTIATE_TEST_SUITE_P(
    Rows, EventXmlTest,
    ::testing::Values(
        Row{"named",
            kSystem + "<EventData><Data Name='A'>1</Data><Data Name=\"B\"></Data>"
                      "</EventData></Event>",
            {{"A", "1"}, {"B", ""}}},
        Row{"unnamed_and_binary",
            kSystem + "<EventData><Data>first</Data><Data>second</Data><Binary>0A0B</Binary>"
                      "</EventData></Event>",
            {{"", "first"}, {"", "second"}}},
        Row{"entities",
            kSystem + "<EventData><Data Name='x&amp;y'>a &lt;b&gt; &quot;c&quot; &apos;d&apos; "
                      "&amp;amp; &#65;&#x42; &#233; &bogus; &#xD800; &</Data></EventData>",
            {{"x&y", "a <b> \"c\" 'd' &amp; AB \xE9 &bogus; &#xD800; &"}}},
        Row{"empty", kSystem + "<EventData/></Event>", {}},
        Row{"empty_data",
            kSystem + "<EventData><Data Name='e'/><Data/></EventData>",
            {{"e", ""}, {"", ""}}},
        Row{"user_data",
            kSystem + "<UserData><LogFileCleared xmlns='x'><SubjectUserSid>S-1-5-18"
                      "</SubjectUserSid><SubjectUserName>B&amp;b</SubjectUserName><Empty/>"
                      "</LogFileCleared><Second><X>no</X></Second></UserData></Event>",
            {{"SubjectUserSid", "S-1-5-18"}, {"SubjectUserName", "B&b"}, {"Empty", ""}}},
        Row{"cdata_comments_complex",
            kSystem + "<EventData><!-- <Data>no</Data> --><Data Name='c'><![CDATA[<r&amp;>]]>"
                      "</Data><ComplexData Name='z'><Data>no</Data></ComplexData>"
                      "<Data Name='w'>\n\t\t%%2080\n\t\t%%2082</Data></EventData></Event>",
            {{"c", "<r&amp;>"}, {"w", "\n\t\t%%2080\n\t\t%%2082"}}},
        Row{"cut_short", kSystem + "<EventData><Data Name='a'>x", {{"a", "x"}}},
        Row{"cut_in_a_tag", kSystem + "<EventData><Data Name='a'>x</Data><Data Na", {{"a", "x"}}},
        Row{"none", kSystem + "</Event>", {}}),
    [](const ::testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

TEST(EventXmlAttribute, AsWrittenOrEmpty) {
  const std::string xml = kSystem + "</Event>";
  const DWORD length = static_cast<DWORD>(xml.size());
  qv::XmlSpan time = qv::find_attribute(xml.data(), length, "TimeCreated", "SystemTime");
  EXPECT_EQ(std::string(time.text, time.length), "2013-10-23T16:22:39.973500000Z");
  EXPECT_EQ(qv::find_attribute(xml.data(), length, "TimeCreated", "Other").length, 0u);
  EXPECT_EQ(qv::find_attribute(xml.data(), length, "Execution", "ProcessID").length, 0u);
}

}  // namespace

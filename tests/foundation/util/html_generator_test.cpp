#include "foundation/util/html_generator.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

struct TestObject : Stat::Object {
    std::map<std::string, std::string> values;
    std::map<std::string, const TestObject*> objects;
    std::map<std::string, std::vector<const TestObject*>> sequences;

    struct Cursor : Stat::IteratorBase {
        explicit Cursor(const std::vector<const TestObject*>& items) : items(items) {}
        bool valid() const override { return at < items.size(); }
        void next() override { ++at; }
        const Stat::Object* object() const override { return items[at]; }
        const std::vector<const TestObject*>& items;
        size_t at = 0;
    };

    Stat::Value statistics_value(const std::string& name) const override
    {
        auto found = values.find(name);
        return found == values.end() ? Stat::Value() : Stat::Value(found->second);
    }
    const Stat::Object* statistics_object(const std::string& name) const override
    {
        auto found = objects.find(name);
        return found == objects.end() ? nullptr : found->second;
    }
    std::unique_ptr<Stat::IteratorBase> statistics_iterator(const std::string& name) const override
    {
        auto found = sequences.find(name);
        return found == sequences.end() ? nullptr : std::make_unique<Cursor>(found->second);
    }
};

TEST(HtmlGenerator, TemplatesExpandAsExpected)
{
    // A root with a value, a sequence of three rows, an empty sequence and a sub-object that
    // holds the same rows.
    TestObject root, rows[3], sub;
    for (int i = 0; i < 3; ++i) {
        rows[i].values = {{"name", std::string(1, char('a' + i))}, {"count", std::to_string(i + 1)}};
        root.sequences["rows"].push_back(&rows[i]);
    }
    rows[1].values["total"] = "inner";
    root.values = {{"total", "9"}};
    root.objects["sub"] = &sub;
    root.sequences["none"];
    sub.values = {{"name", "s"}};
    sub.sequences["rows"] = root.sequences["rows"];

    const std::string plain =
        "<!DOCTYPE html>\n<html><!-- note > --><p title=\"%total%\">text</p>"
        "<!--GENERIC--><!-GEN.x--><!--gen.x--></html>\n";
    const std::pair<std::string, std::string> cases[] = {
        // No markers: copied.
        {plain, plain},
        // A sequence repeats its section per object, inner values first.
        {"<ul><!--GEN.rows--><li>%name%=%count% of %total%</li><!--GEN.end--></ul>",
         "<ul><li>a=1 of 9</li><li>b=2 of inner</li><li>c=3 of 9</li></ul>"},
        // Unknown values and "%%" stay.
        {"%x% 100%% %total%", "%x% 100%% 9"},
        // An absent or empty section is left out with all it nests.
        {"<p>A<!--GEN.missing-->X%total%<!--GEN.rows-->Y<!--GEN.end-->Z<!--GEN.end-->B</p>", "<p>AB</p>"},
        {"A<!--GEN.none-->%name%<!--GEN.sub-->S<!--GEN.end--><!--GEN.end-->B", "AB"},
        // A sub-object is written once with the outer values visible.
        {"<!--GEN.sub-- dropped >[%name% %total%]<!--GEN.end-->%name%", "[s 9]%name%"},
        // The end of the input ends every open section.
        {"<!--GEN.rows-->[%name%", "[a[b[c"},
        {"<!--GEN.sub--><!--GEN.rows-->%name%", "abc"},
    };
    for (const auto& [page, expected] : cases) {
        std::istringstream in(page);
        std::ostringstream out;
        EXPECT_TRUE(Stat::Html::generateV1(root, out, in));
        EXPECT_EQ(out.str(), expected) << page;
    }
}

}  // namespace

// The criterion rule on its own: which rows take part, what "contains"
// means and how the conditions combine.

#include "search/criteria.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using search::Connective;
using search::Criterion;
using search::Field;
using search::Filter;

namespace {

constexpr Connective And = Connective::And;
constexpr Connective Or = Connective::Or;
constexpr Connective Not = Connective::Not;

// Every field of the entry holds "x" except the answer, which is null: a
// row looking for "x" is a true condition, one looking for "y" a false one.
search::EntryTexts entry()
{
    search::EntryTexts texts;
    texts.fill(QStringLiteral("x"));
    texts[static_cast<std::size_t>(Field::Answer)] = std::nullopt;
    return texts;
}

Criterion T(Connective next = And) { return {QStringLiteral("x"), Field::Address, next}; }
Criterion F(Connective next = And) { return {QStringLiteral("y"), Field::Address, next}; }
Criterion blank(const char* text, Connective next) { return {QString::fromUtf8(text), Field::Address, next}; }
Criterion onNullAnswer(Connective next = And) { return {QStringLiteral("x"), Field::Answer, next}; }

} // namespace

TEST(criteria, ContainsIgnoresCaseOfEveryLetterAndTakesEveryOtherCharacterLiterally)
{
    struct Case {
        std::optional<QString> text;
        const char* words;
        bool expected;
    };
    const Case cases[] = {
        {QStringLiteral("čep za bocu"), "ČEP", true},
        {QStringLiteral("ĆUPRIJA, ĐURO ŠIMIĆ, ŽUPA"), "ćuprija, đuro šimić, župa", true},
        {QStringLiteral("Łódź, Řepy, Ősz, Ärzte"), "łÓDŹ, řEPY, őSZ, äRZTE", true},
        {QStringLiteral("Ωμέγα"), "ΩΜΈΓΑ", true},
        {QStringLiteral("Dr. Simic"), "šimić", false},  // no letter stands for another
        {QStringLiteral("100% sure"), "0%", true},
        {QStringLiteral("100 sure"), "0%", false},
        {QStringLiteral("abc"), "a%", false},
        {QStringLiteral("a_b"), "A_B", true},
        {QStringLiteral("axb"), "a_b", false},
        {QStringLiteral("a.b*c"), "A.B*C", true},
        {QStringLiteral("abbc"), "ab*c", false},
        {QStringLiteral("O'Brien"), "o'b", true},
        {QStringLiteral("C:\\vet\\doses"), "\\VET\\", true},
        {QStringLiteral("C:vetdoses"), "\\v", false},
        {QStringLiteral("[L-1]"), "[l-1]", true},
        {QStringLiteral("L1"), "[l-1]", false},
        {QStringLiteral(""), "x", false},
        {std::nullopt, "x", false},  // null contains nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(search::contains(c.text, QString::fromUtf8(c.words)), c.expected)
            << c.text.value_or(QStringLiteral("<null>")).toStdString() << " / " << c.words;
}

TEST(criteria, ListItemsNameTheirFieldsAndConnectives)
{
    const std::pair<const char*, Field> fields[] = {{"Address", Field::Address}, {"Question", Field::Question},
                                                    {"LOT", Field::Lot},         {"Product", Field::Product},
                                                    {"Answer", Field::Answer}};
    for (const auto& [item, field] : fields)
        EXPECT_EQ(search::fieldNamed(QString::fromLatin1(item)), field) << item;
    const std::pair<const char*, Connective> connectives[] = {{"AND", And}, {"OR", Or}, {"NOT", Not}};
    for (const auto& [item, connective] : connectives)
        EXPECT_EQ(search::connectiveNamed(QString::fromLatin1(item)), connective) << item;
    for (const char* other : {"", "address", "Lot", "and", "AND NOT"}) {
        EXPECT_EQ(search::fieldNamed(QString::fromLatin1(other)), std::nullopt) << other;
        EXPECT_EQ(search::connectiveNamed(QString::fromLatin1(other)), std::nullopt) << other;
    }
}

TEST(criteria, RowsTakePartWhenTheirTrimmedTextIsNotEmpty)
{
    EXPECT_TRUE(Filter().listsEverything());
    EXPECT_TRUE(Filter({blank("", Or), blank("   ", Not), blank("\t ", Or), blank("", And)}).listsEverything());
    EXPECT_TRUE(Filter({blank("", Or)}).matches(entry()));

    const Filter filter({{QStringLiteral("x"), Field::Answer, Not},
                         {QStringLiteral("  "), Field::Question, Or},
                         {QStringLiteral(" a "), Field::Address, And},
                         {QStringLiteral("y"), Field::Answer, Or}});
    EXPECT_FALSE(filter.listsEverything());
    EXPECT_EQ(filter.fields(), (std::vector<Field>{Field::Address, Field::Answer})) << "each field once, blank rows not";

    // The words are looked for without the blanks around them, with those inside.
    const std::tuple<const char*, const char*, bool> words[] = {
        {"  čEP\t", "Čep", true}, {" a b ", "xa by", true}, {" ab ", "a b", false}, {"ab ", "ab", true}};
    for (const auto& [typed, address, expected] : words) {
        search::EntryTexts texts;
        texts[static_cast<std::size_t>(Field::Address)] = QString::fromUtf8(address);
        EXPECT_EQ(Filter({{QString::fromUtf8(typed), Field::Address, And}}).matches(texts), expected) << typed;
    }
}

TEST(criteria, ConditionsCombineStrictlyFromTheTop)
{
    struct Case {
        const char* what;
        std::vector<Criterion> rows;
        bool expected;
    };
    const Case cases[] = {
        {"T", {T()}, true},
        {"F", {F()}, false},
        {"T and F", {T(And), F()}, false},
        {"T and T", {T(And), T()}, true},
        {"F or T", {F(Or), T()}, true},
        {"F or F", {F(Or), F()}, false},
        {"T not T", {T(Not), T()}, false},
        {"T not F", {T(Not), F()}, true},
        {"F not F", {F(Not), F()}, false},
        // Neither AND before OR nor grouping from the right.
        {"(T or F) and F", {T(Or), F(And), F()}, false},
        {"(F and T) or T", {F(And), T(Or), T()}, true},
        {"((T or T) not T) or T", {T(Or), T(Not), T(Or), T()}, true},
        {"((F or T) and T) not F", {F(Or), T(And), T(Not), F()}, true},
        // A blank row neither takes part nor lends its connective.
        {"T and [blank or] F", {T(And), blank("  ", Or), F()}, false},
        {"[blank] [blank] F or T", {blank("", And), blank(" ", Not), F(Or), T()}, true},
        {"T [blank not] [blank and] or T", {T(Or), blank("", Not), blank("", And), T()}, true},
        // The last taking-part row's connective is not used.
        {"T, not", {T(Not)}, true},
        {"F, or", {F(Or)}, false},
        {"T and T, not, [blank]", {T(And), T(Not), blank("", Or)}, true},
        // A null field contains nothing, so NOT over it holds.
        {"null", {onNullAnswer()}, false},
        {"T not null", {T(Not), onNullAnswer()}, true},
        {"T and null", {T(And), onNullAnswer()}, false},
        {"null or T", {onNullAnswer(Or), T()}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Filter(c.rows).matches(entry()), c.expected) << c.what;
}

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

TEST(criteria, NarrowingPatternsLetThroughEveryTextTheRuleFinds)
{
    // What the patterns rest on: outside the ASCII range only characters
    // that fold to i, k or s match an ASCII character, and those three
    // are never fixed in a pattern.
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const char16_t folded = QChar(c).toCaseFolded().unicode();
        if (folded < 0x80)
            EXPECT_TRUE(folded == u'i' || folded == u'k' || folded == u's') << std::hex << unsigned(c);
    }

    const std::pair<const char*, std::optional<QString>> patterns[] = {
        {"Split", QStringLiteral("%pl%t%")},
        {"ČEP", QStringLiteral("%ep%")},
        {"100%", QStringLiteral("%100\\%%")},
        {"a_b", QStringLiteral("%a\\_b%")},
        {"\\VET\\", QStringLiteral("%\\\\vet\\\\%")},
        {"O'Brien", QStringLiteral("%o'br%en%")},
        {"šimić", QStringLiteral("%m%")},
        {"čćš", std::nullopt},
        {"kiss", std::nullopt},
    };
    for (const auto& [words, pattern] : patterns)
        EXPECT_EQ(search::likePattern(QString::fromUtf8(words)), pattern) << words;

    using search::NarrowingTerm;
    const auto row = [](const char* text, Field field, Connective c = And) {
        return Criterion{QString::fromUtf8(text), field, c};
    };
    struct Case {
        const char* what;
        std::vector<Criterion> rows;
        std::vector<std::tuple<Field, const char*, bool>> terms;
    };
    const Case cases[] = {
        {"one", {row("farm", Field::Address)}, {{Field::Address, "%farm%", false}}},
        {"and not narrows by the first alone",
         {row("vaccine", Field::Product, Not), row("dose", Field::Question)},
         {{Field::Product, "%vacc%ne%", false}}},
        {"or, then and",
         {row("farm", Field::Address, Or), row("novak", Field::Address, And), row("L-", Field::Lot)},
         {{Field::Address, "%farm%", false}, {Field::Address, "%nova%", true}, {Field::Lot, "%l-%", false}}},
        {"an untestable row first lets everything through an OR",
         {row("čš", Field::Address, Or), row("farm", Field::Address)},
         {}},
        {"an OR with an untestable row lets everything through",
         {row("farm", Field::Address, Or), row("čš", Field::Address)},
         {}},
        {"an AND after that narrows again",
         {row("farm", Field::Address, Or), row("čš", Field::Address, And), row("dose", Field::Question)},
         {{Field::Question, "%do%e%", false}}},
    };
    for (const auto& c : cases) {
        const std::vector<NarrowingTerm> terms = Filter(c.rows).narrowing();
        ASSERT_EQ(terms.size(), c.terms.size()) << c.what;
        for (std::size_t i = 0; i < terms.size(); ++i) {
            const auto& [field, pattern, orWithPrevious] = c.terms[i];
            EXPECT_EQ(terms[i].field, field) << c.what;
            EXPECT_EQ(terms[i].pattern, QString::fromUtf8(pattern)) << c.what;
            EXPECT_EQ(terms[i].orWithPrevious, orWithPrevious) << c.what;
        }
    }
}

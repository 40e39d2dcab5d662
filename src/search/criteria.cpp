#include "search/criteria.h"

#include <utility>

namespace search {
namespace {

// Case folding rather than lower(): it treats every script alike, where the
// databases' own functions fold ASCII only or follow the server's locale.
// Qt's case-insensitive search folds both sides character by character with
// the tables of toCaseFolded(), without a folded copy of every text.
bool containsFolded(const std::optional<QString>& text, const QString& foldedWords)
{
    return text && text->contains(foldedWords, Qt::CaseInsensitive);
}

std::size_t indexOf(Field field) { return static_cast<std::size_t>(field); }

} // namespace

std::optional<Field> fieldNamed(QStringView item)
{
    static constexpr std::pair<QStringView, Field> names[] = {
        {u"Address", Field::Address}, {u"Question", Field::Question}, {u"LOT", Field::Lot},
        {u"Product", Field::Product}, {u"Answer", Field::Answer},
    };
    for (const auto& [name, field] : names)
        if (item == name)
            return field;
    return std::nullopt;
}

std::optional<Connective> connectiveNamed(QStringView item)
{
    static constexpr std::pair<QStringView, Connective> names[] = {
        {u"AND", Connective::And}, {u"OR", Connective::Or}, {u"NOT", Connective::Not}};
    for (const auto& [name, connective] : names)
        if (item == name)
            return connective;
    return std::nullopt;
}

bool contains(const std::optional<QString>& text, const QString& words)
{
    return containsFolded(text, words.toCaseFolded());
}

Filter::Filter(const std::vector<Criterion>& rows)
{
    for (const Criterion& row : rows) {
        QString words = row.text.trimmed();
        if (!words.isEmpty())
            conditions_.push_back({words.toCaseFolded(), row.field, row.connective});
    }
}

std::optional<QString> likePattern(const QString& words)
{
    const QString folded = words.toCaseFolded();
    QString pattern = QStringLiteral("%");
    bool anyTextLast = true;  // the pattern ends in a % that stands for any text
    bool fixedPart = false;
    for (QChar c : folded) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == u'i' || u == u'k' || u == u's') {
            if (!anyTextLast)
                pattern += u'%';
            anyTextLast = true;
            continue;
        }
        if (u == u'%' || u == u'_' || u == u'\\')
            pattern += u'\\';
        pattern += c;
        anyTextLast = false;
        fixedPart = true;
    }
    if (!fixedPart)
        return std::nullopt;
    if (!anyTextLast)
        pattern += u'%';
    return pattern;
}

std::vector<NarrowingTerm> Filter::narrowing() const
{
    // Folded from the top as matches() combines: a row the database cannot
    // test counts as true, so an AND over it keeps what came before and an
    // OR with it lets every entry through so far.
    std::vector<NarrowingTerm> terms;
    for (std::size_t i = 0; i < conditions_.size(); ++i) {
        const Condition& c = conditions_[i];
        const std::optional<QString> pattern = likePattern(c.words);
        const Connective join = i == 0 ? Connective::And : conditions_[i - 1].connective;
        switch (join) {
        case Connective::And:
            if (pattern)
                terms.push_back({c.field, *pattern, false});
            break;
        case Connective::Or:
            if (terms.empty())
                break;  // everything so far
            if (pattern)
                terms.push_back({c.field, *pattern, true});
            else
                terms.clear();
            break;
        case Connective::Not: break;
        }
    }
    return terms;
}

std::vector<Field> Filter::fields() const
{
    std::array<bool, fieldCount> used{};
    for (const Condition& c : conditions_)
        used[indexOf(c.field)] = true;
    std::vector<Field> out;
    for (std::size_t i = 0; i < fieldCount; ++i)
        if (used[i])
            out.push_back(static_cast<Field>(i));
    return out;
}

bool Filter::matches(const EntryTexts& texts) const
{
    if (conditions_.empty())
        return true;
    const auto holds = [&](const Condition& c) { return containsFolded(texts[indexOf(c.field)], c.words); };
    bool listed = holds(conditions_.front());
    for (std::size_t i = 1; i < conditions_.size(); ++i) {
        // The previous taking-part row's connective joins it to this one;
        // a condition that cannot change the result is not looked at.
        switch (conditions_[i - 1].connective) {
        case Connective::And: listed = listed && holds(conditions_[i]); break;
        case Connective::Or: listed = listed || holds(conditions_[i]); break;
        case Connective::Not: listed = listed && !holds(conditions_[i]); break;
        }
    }
    return listed;
}

} // namespace search

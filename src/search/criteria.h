#pragma once
// The rule of the four criterion rows: which rows take part, what a row's
// condition is and how the conditions combine. No database, no widgets.

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace search {

// The fields a row can look in, in the order of the row's list.
enum class Field { Address, Question, Lot, Product, Answer };
inline constexpr std::size_t fieldCount = 5;

// The connective to the next taking-part row; Not means "and not".
enum class Connective { And, Or, Not };

// The field or connective a list item names ("Address", "LOT", "NOT", ...);
// nullopt for any other text.
std::optional<Field> fieldNamed(QStringView item);
std::optional<Connective> connectiveNamed(QStringView item);

// One criterion row as the user left it.
struct Criterion {
    QString text;
    Field field = Field::Address;
    Connective connective = Connective::And;
};

// Whether the text contains the words: every letter regardless of case,
// every other character (% _ \ ' included) as itself. Null contains nothing.
bool contains(const std::optional<QString>& text, const QString& words);

// An entry's texts by field; nullopt where the entry's field is null.
using EntryTexts = std::array<std::optional<QString>, fieldCount>;

// A LIKE pattern (\ as its escape) that a database's LIKE, or ILIKE, finds
// in every text that contains the words, whatever the database makes of
// letters outside the ASCII range: those, and i, k and s (which the Kelvin
// sign, the long s and the dotted or dotless i of Turkish locales may stand
// for), become `%`; the other ASCII characters stand for themselves, % _
// and \ escaped. nullopt when nothing but `%` would be left.
std::optional<QString> likePattern(const QString& words);

// A test of one field a database can make before the rule runs.
struct NarrowingTerm {
    Field field;
    QString pattern;  // see likePattern
    bool orWithPrevious = false;  // joined to the terms above by OR, else AND
};

class Filter {
public:
    // No criterion: every entry is listed.
    Filter() = default;
    // The rows in their order from the top.
    explicit Filter(const std::vector<Criterion>& rows);

    // Whether no row takes part, so every entry is listed.
    bool listsEverything() const { return conditions_.empty(); }
    // The fields the conditions look in, each once, in Field order.
    std::vector<Field> fields() const;
    // Whether the entry is listed: the conditions combined strictly from
    // the top, ((c1 op1 c2) op2 c3) op3 c4.
    bool matches(const EntryTexts& texts) const;
    // Terms that, combined strictly from the top, hold for every entry
    // matches() lists (and may hold for more); none when nothing can be
    // promised. An AND NOT row narrows nothing.
    std::vector<NarrowingTerm> narrowing() const;

private:
    struct Condition {
        QString words;  // trimmed and case-folded
        Field field;
        Connective connective;  // joins this condition to the next one
    };
    std::vector<Condition> conditions_;
};

} // namespace search

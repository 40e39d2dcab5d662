#include "bench_data.h"

#include "runtime/odbc.h"
#include "support/throwaway_data_source.h"

#include <QDateTime>

#include <array>
#include <stdexcept>

namespace bench {
namespace {

// A small generator of our own, so the texts do not depend on the standard library's.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    template <class T, std::size_t N>
    const T& pick(const std::array<T, N>& items) { return items[static_cast<std::size_t>(below(static_cast<int>(N)))]; }

private:
    std::uint64_t state_;
};

constexpr std::array<const char*, 12> firstNames{"Ivana", "Marko", "Željka", "Tomislav", "Ana", "Dario",
                                                 "Snježana", "Goran", "Maja", "Krešimir", "Lucija", "Đuro"};
constexpr std::array<const char*, 12> surnames{"Horvat", "Kovačević", "Babić", "Marić", "Jurić", "Novak",
                                               "Knežević", "Vuković", "Šimić", "Petrović", "Đurić", "Blažević"};
constexpr std::array<const char*, 10> streets{"Ilica", "Vukovarska", "Savska cesta", "Frankopanska", "Zagrebačka",
                                              "Ulica M. Gupca", "Trg bana Jelačića", "Radnička", "Kolodvorska",
                                              "Šetalište"};
constexpr std::array<const char*, 10> towns{"Zagreb", "Split", "Osijek", "Čakovec", "Varaždin",
                                            "Požega", "Đakovo", "Križevci", "Vinkovci", "Šibenik"};
constexpr std::array<const char*, 10> products{"Vetmedin 5 mg", "Synulox 250 mg", "Metacam 1,5 mg/ml", "Drontal Plus",
                                               "Frontline Combo", "Baytril 5 %", "Rimadyl 50 mg", "Milbemax",
                                               "Advocate 250", "Bravecto 500 mg"};
constexpr std::array<const char*, 8> animals{"dog", "cat", "puppy", "kitten", "mare", "heifer", "rabbit", "ferret"};
constexpr std::array<const char*, 10> questionParts{
    "The customer asks whether %P can be given to a pregnant %A, and from which week on it would be safe.",
    "Their %A vomited about two hours after the second dose of %P; should they go on or wait for the vet?",
    "The box of %P they bought last week has a lot number that does not match the one on the blister.",
    "They want to know how %P should be stored once opened, and whether the fridge is too cold for it.",
    "The %A weighs a little over twelve kilos: is that one tablet of %P a day, or one and a half?",
    "A breeder asks if %P may be combined with the worming treatment the %A had three days ago.",
    "The tablets of %P look paler than usual and crumble; is this lot known to have a problem?",
    "The vet prescribed %P for ten days, but the %A refuses it in food. Can it be crushed or dissolved?",
    "Is there a generic that works like %P, since the pharmacy in town has none until next month?",
    "The %A got a rash on the belly after %P; they ask whether this was reported before for this lot."};
constexpr std::array<const char*, 10> answerParts{
    "According to the summary of product characteristics %P is not recommended in the first third of pregnancy.",
    "We advised the customer to stop giving %P and to bring the %A to their vet with the package and the lot number.",
    "The lot was checked against the recall list of the manufacturer and is not on it; the difference is only in print.",
    "Once opened, %P keeps for 28 days at room temperature, away from light; the fridge is not needed but does no harm.",
    "For a %A of that weight the dose is one tablet a day, given with food, for as long as the vet prescribed.",
    "There is no known interaction with the common worming products, but two days between them is the usual advice.",
    "A sample of the tablets was requested for the quality department; the customer will get a replacement package.",
    "The tablets may be crushed and mixed with a small amount of wet food that the %A will eat at once.",
    "We do not recommend a substitute ourselves; the customer should ask their vet, who knows the %A's history.",
    "The reaction was reported to the pharmacovigilance contact with the lot number, the dose and the time it began."};

QString fillIn(const char* pattern, const QString& product, const QString& animal)
{
    QString text = QString::fromUtf8(pattern);
    text.replace(QLatin1String("%P"), product);
    text.replace(QLatin1String("%A"), animal);
    return text;
}

// Sentences joined with a blank until the text is at least minimum characters long.
template <std::size_t N>
QString paragraph(Random& random, const std::array<const char*, N>& parts, int minimum, const QString& product,
                  const QString& animal)
{
    QString text;
    while (text.size() < minimum) {
        if (!text.isEmpty())
            text += u' ';
        text += fillIn(random.pick(parts), product, animal);
    }
    return text;
}

QString address(Random& random)
{
    const QString place = QStringLiteral("%1 %2").arg(QString::fromUtf8(random.pick(streets))).arg(1 + random.below(180));
    const QString town = QString::fromUtf8(random.pick(towns));
    if (random.below(3) == 0)
        return QStringLiteral("Veterinarska stanica %1, %2").arg(town, place);
    return QStringLiteral("%1 %2, %3, %4")
        .arg(QString::fromUtf8(random.pick(firstNames)), QString::fromUtf8(random.pick(surnames)), place, town);
}

void require(const odbc::Outcome& outcome, const char* what)
{
    if (outcome.status < 0)
        throw std::runtime_error(std::string(what) + ": " + outcome.errorText().toStdString());
}

} // namespace

Entry entry(int rbr)
{
    Random random(static_cast<std::uint64_t>(rbr));
    Entry e;
    e.rbr = static_cast<qint16>(rbr);
    e.adresa = address(random);
    e.proizvod = QString::fromUtf8(random.pick(products));
    const QString animal = QString::fromUtf8(random.pick(animals));
    e.pitanje = paragraph(random, questionParts, 200 + random.below(200), e.proizvod, animal);
    e.odgovor = paragraph(random, answerParts, 300 + random.below(300), e.proizvod, animal);
    e.lot = QStringLiteral("LOT-%1%2%3")
                .arg(QChar(u'A' + random.below(26)))
                .arg(QChar(u'A' + random.below(26)))
                .arg(random.below(100000), 5, 10, QLatin1Char('0'));
    const QDateTime first(QDate(2019, 1, 1), QTime(0, 0), Qt::UTC);
    e.datum = first.addSecs(static_cast<qint64>(random.next() % (8u * 365 * 24 * 3600)))
                  .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return e;
}

void fill(int count)
{
    odbc::Connection connection;
    require(connection.open(ThrowawayDataSource::connectString(), false), "connect");
    odbc::Outcome outcome;
    auto statement = connection.statement(outcome);
    require(outcome, "statement");
    require(statement->prepare(QStringLiteral(
                "INSERT INTO faq (rbr, adresa, pitanje, datum, proizvod, lot, odgovor) VALUES (?, ?, ?, ?, ?, ?, ?)")),
            "prepare");
    for (int i = 1; i <= count; ++i) {
        const Entry e = entry(i);
        using odbc::Param;
        require(statement->bind({Param::of(std::optional<qint16>(e.rbr)), Param::of(std::optional(e.adresa)),
                                 Param::of(std::optional(e.pitanje)), Param::of(std::optional(e.datum)),
                                 Param::of(std::optional(e.proizvod)), Param::of(std::optional(e.lot)),
                                 Param::of(std::optional(e.odgovor))}),
                "bind");
        require(statement->execute(), "insert");
    }
    statement.reset();
    require(connection.commit(), "commit");
}

void fillSettled(const ThrowawayDataSource& source, int count)
{
    fill(count);
    if (source.backend() == ThrowawayDataSource::Backend::PostgreSQL)
        source.exec(QStringLiteral("VACUUM ANALYZE faq"));
}

QString databaseName()
{
    odbc::Connection connection;
    require(connection.open(ThrowawayDataSource::connectString(), false), "connect");
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    require(odbc::check(SQLGetInfoW(connection.dbc(), SQL_DATABASE_NAME, name, sizeof name, &length), SQL_HANDLE_DBC,
                        connection.dbc()),
            "database name");
    return odbc::fromWide(name, static_cast<std::size_t>(length) / sizeof(SQLWCHAR));
}

} // namespace bench

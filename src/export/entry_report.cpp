#include "export/entry_report.h"

#include "runtime/controls.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextLayout>

#include <memory>

namespace output {
namespace {

// Painting is slow next to reading: progress is told every few entries.
constexpr std::size_t progressEvery = 8;
const QColor ruleColour(160, 160, 160);

QString dateText(const QDateTime& moment)
{
    return moment.toString(moment.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy-MM-dd HH:mm"));
}

// Line breaks of any kind as QTextLayout takes them: it knows only U+2028.
QString asLayoutText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    text.replace(u'\n', QChar::LineSeparator);
    return text;
}

// One paragraph of the report, laid out to the width of the page.
struct Paragraph {
    std::unique_ptr<QTextLayout> layout;
    qreal indent = 0;
    qreal spaceBefore = 0;
    bool ruleBefore = false;    // a thin line in the space before, where it is not at a page's top
    bool keepWithNext = false;  // never the last thing on a page
    qreal height = 0;

    qreal firstLineHeight() const { return layout->lineCount() > 0 ? layout->lineAt(0).height() : 0; }
};

class ReportPainter {
public:
    ReportPainter(QPagedPaintDevice& device, const ReportHeading& heading)
        : device_(device), heading_(heading), dpi_(device.logicalDpiY()), width_(device.width()),
          body_(font(10, false)), bold_(font(10, true)), entryTitle_(font(11, true)), small_(font(9, false)),
          title_(font(12, true))
    {
        bodyTop_ = QFontMetricsF(title_, &device_).height() + px(12);
        bottom_ = device_.height() - QFontMetricsF(small_, &device_).height() - px(10);
    }

    bool begin() { return painter_.begin(&device_); }

    void add(const Entry& e)
    {
        std::vector<Paragraph> paragraphs;
        QString title = QStringLiteral("Entry %1").arg(e.rbr);
        if (e.datum)
            title += QStringLiteral("  \u2014  ") + dateText(*e.datum);
        paragraphs.push_back(paragraph(title, entryTitle_, 0, px(16), true));
        paragraphs.back().ruleBefore = true;
        QStringList about;
        if (e.proizvod && !e.proizvod->isEmpty())
            about << QStringLiteral("Product: ") + *e.proizvod;
        if (e.lot && !e.lot->isEmpty())
            about << QStringLiteral("Lot: ") + *e.lot;
        if (!about.isEmpty())
            paragraphs.push_back(paragraph(about.join(QStringLiteral("     ")), body_, 0, px(2), true));
        if (e.adresa && !e.adresa->isEmpty())
            paragraphs.push_back(paragraph(QStringLiteral("Asked by: ") + *e.adresa, body_, 0, px(2), true));
        for (const auto& [label, text] : {std::pair{QStringLiteral("Question"), &e.pitanje},
                                          std::pair{QStringLiteral("Answer"), &e.odgovor}}) {
            paragraphs.push_back(paragraph(label, bold_, 0, px(6), true));
            const bool empty = !*text || (*text)->isEmpty();
            paragraphs.push_back(paragraph(empty ? QStringLiteral("\u2014") : **text, body_, px(12), px(1), false));
        }
        place(paragraphs);
    }

    // Ends the painting; the number of pages.
    int finish()
    {
        if (pages_ == 0)
            startPage();  // an empty report still has its head
        painter_.end();
        return pages_;
    }

    void stop()
    {
        // A printer drops the job; a PDF writer's file is thrown away by its owner.
        if (auto* printer = dynamic_cast<QPrinter*>(&device_))
            printer->abort();
        if (painter_.isActive())
            painter_.end();
    }

private:
    qreal px(qreal points) const { return points * dpi_ / 72.0; }

    QFont font(int points, bool bold) const
    {
        return QFont(rt::font("Arial", points, bold ? QFont::Bold : QFont::Normal), &device_);
    }

    Paragraph paragraph(const QString& text, const QFont& font, qreal indent, qreal spaceBefore, bool keepWithNext)
    {
        Paragraph p;
        p.layout = std::make_unique<QTextLayout>(asLayoutText(text), font, &device_);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        p.layout->setTextOption(option);
        p.layout->beginLayout();
        for (QTextLine line = p.layout->createLine(); line.isValid(); line = p.layout->createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width_ - indent);
            line.setPosition(QPointF(0, p.height));
            p.height += line.height();
        }
        p.layout->endLayout();
        p.indent = indent;
        p.spaceBefore = spaceBefore;
        p.keepWithNext = keepWithNext;
        return p;
    }

    // The room a paragraph needs at the foot of a page: itself whole while it
    // is kept with the next, and the next one's first line.
    static qreal roomFor(const std::vector<Paragraph>& paragraphs, std::size_t i)
    {
        qreal room = 0;
        for (; i < paragraphs.size(); ++i) {
            const Paragraph& p = paragraphs[i];
            if (!p.keepWithNext)
                return room + p.spaceBefore + p.firstLineHeight();
            room += p.spaceBefore + p.height;
        }
        return room;
    }

    void place(const std::vector<Paragraph>& paragraphs)
    {
        for (std::size_t i = 0; i < paragraphs.size(); ++i) {
            const Paragraph& p = paragraphs[i];
            if (pages_ == 0 || (y_ > bodyTop_ && y_ + roomFor(paragraphs, i) > bottom_))
                startPage();
            if (y_ > bodyTop_) {
                if (p.ruleBefore) {
                    painter_.setPen(QPen(ruleColour, px(0.5)));
                    painter_.drawLine(QPointF(0, y_ + p.spaceBefore / 2), QPointF(width_, y_ + p.spaceBefore / 2));
                }
                y_ += p.spaceBefore;
            }
            painter_.setPen(Qt::black);
            for (int l = 0; l < p.layout->lineCount(); ++l) {
                const QTextLine line = p.layout->lineAt(l);
                if (y_ > bodyTop_ && y_ + line.height() > bottom_)
                    startPage();
                line.draw(&painter_, QPointF(p.indent, y_ - line.y()));
                y_ += line.height();
            }
        }
    }

    void startPage()
    {
        if (pages_ > 0)
            device_.newPage();
        ++pages_;
        const QRectF page(0, 0, width_, device_.height());
        painter_.setPen(Qt::black);
        painter_.setFont(small_);
        const QString printed = QStringLiteral("Printed ") + dateText(heading_.printedAt);
        painter_.drawText(page, Qt::AlignRight | Qt::AlignTop, printed);
        painter_.setFont(title_);
        const QFontMetricsF titleMetrics(title_, &device_);
        const qreal titleRoom = width_ - QFontMetricsF(small_, &device_).horizontalAdvance(printed) - px(12);
        painter_.drawText(page, Qt::AlignLeft | Qt::AlignTop, titleMetrics.elidedText(heading_.title, Qt::ElideRight, titleRoom));
        const qreal ruleY = titleMetrics.height() + px(4);
        painter_.setPen(QPen(Qt::black, px(0.75)));
        painter_.drawLine(QPointF(0, ruleY), QPointF(width_, ruleY));
        painter_.setPen(Qt::black);
        painter_.setFont(small_);
        painter_.drawText(page, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("Page %1").arg(pages_));
        y_ = bodyTop_;
        if (pages_ == 1 && heading_.leftOut > 0) {
            const QString note = heading_.leftOut == 1
                                     ? QStringLiteral("1 listed entry was deleted meanwhile and is left out.")
                                     : QStringLiteral("%1 listed entries were deleted meanwhile and are left out.")
                                           .arg(heading_.leftOut);
            painter_.drawText(QRectF(0, y_, width_, bottom_ - y_), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, note);
            y_ += QFontMetricsF(small_, &device_).height() + px(2);
        }
    }

    QPagedPaintDevice& device_;
    const ReportHeading& heading_;
    const qreal dpi_;
    const qreal width_;
    const QFont body_, bold_, entryTitle_, small_, title_;
    qreal bodyTop_ = 0;
    qreal bottom_ = 0;
    QPainter painter_;
    qreal y_ = 0;
    int pages_ = 0;
};

} // namespace

WriteResult paintReport(QPagedPaintDevice& device, const std::vector<Entry>& entries, const ReportHeading& heading,
                        const Progress& progress)
{
    ReportPainter report(device, heading);
    if (!report.begin())
        return {WriteResult::Failed, QStringLiteral("The printer could not be started.")};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (progress && i % progressEvery == 0 && !progress(i)) {
            report.stop();
            return {WriteResult::Stopped, {}};
        }
        report.add(entries[i]);
    }
    if (progress && !progress(entries.size())) {
        report.stop();
        return {WriteResult::Stopped, {}};
    }
    return {WriteResult::Written, {}, report.finish()};
}

WriteResult writePdf(const std::vector<Entry>& entries, const QString& path, const ReportHeading& heading,
                     const Progress& progress)
{
    WriteResult painted;
    WriteResult written = writeWhole(path, [&](QIODevice& file) {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(20, 15, 20, 15), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pdf.setTitle(heading.title);
        pdf.setCreator(QStringLiteral("Veterinary FAQ helper"));
        painted = paintReport(pdf, entries, heading, progress);
        return painted.ok();
    });
    if (written.status == WriteResult::Stopped && painted.status == WriteResult::Failed)
        return painted;
    written.pages = painted.pages;
    return written;
}

} // namespace output

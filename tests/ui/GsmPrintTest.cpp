// "Print settings...": the report of what the window shows, saved as PDF through real clicks.

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>

#include "GsmHarness.h"
#include "settings/AlarmTableImage.h"
#include "settings/Catalogue.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsReport.h"
#include "ui/SettingsReportDialog.h"

namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

// The text of each page of a PDF as Qt's writer makes it: page contents compressed, one
// "<glyphs> Tj" per glyph run, each font's ToUnicode map in "bfrange" or "bfchar" lines. The
// writer maps a space to a tab, so the text is taken without white space.
QStringList PdfPageTexts(const QByteArray& pdf) {
    QMap<int, QByteArray> dictionaries;
    QMap<int, QByteArray> streams;
    static const QRegularExpression objectStart(R"((?:^|\n)(\d+) 0 obj\s*)");
    for (auto match = objectStart.globalMatch(QString::fromLatin1(pdf)); match.hasNext();) {
        const auto object = match.next();
        const qsizetype begin = object.capturedEnd();
        const QByteArray body = pdf.mid(begin, pdf.indexOf("endobj", begin) - begin);
        const int number = object.captured(1).toInt();
        const qsizetype stream = body.indexOf("stream\n");
        dictionaries[number] = stream < 0 ? body : body.left(stream);
        if (stream >= 0) {
            QByteArray data = body.mid(stream + 7);
            data.truncate(data.lastIndexOf("endstream"));
            if (dictionaries[number].contains("/FlateDecode")) {
                // qUncompress wants the size ahead; a guess is enough, it grows the buffer.
                data.prepend(QByteArray("\x00\x10\x00\x00", 4));
                data = qUncompress(data);
            }
            streams[number] = data;
        }
    }
    const auto text = [](const QByteArray& bytes) { return QString::fromLatin1(bytes); };
    // Glyph to character, by font object.
    QMap<int, QMap<uint, QChar>> fonts;
    static const QRegularExpression toUnicode(R"(/ToUnicode (\d+) 0 R)");
    static const QRegularExpression range(
        R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*(?:\[([^\]]*)\]|<([0-9A-Fa-f]+)>))");
    static const QRegularExpression single(R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>)");
    static const QRegularExpression hex(R"(<([0-9A-Fa-f]+)>)");
    for (auto it = dictionaries.cbegin(); it != dictionaries.cend(); ++it) {
        const auto map = toUnicode.match(text(it.value()));
        if (!map.hasMatch()) {
            continue;
        }
        const QString cmap = text(streams.value(map.captured(1).toInt()));
        auto& glyphs = fonts[it.key()];
        for (const QString& section : cmap.split("beginbfrange").mid(1)) {
            for (auto entry = range.globalMatch(section.section("endbfrange", 0, 0));
                 entry.hasNext();) {
                const auto r = entry.next();
                uint glyph = r.captured(1).toUInt(nullptr, 16);
                if (r.hasCaptured(3) && !r.captured(3).isNull()) {
                    for (auto code = hex.globalMatch(r.captured(3)); code.hasNext(); ++glyph) {
                        glyphs[glyph] = QChar(code.next().captured(1).toUShort(nullptr, 16));
                    }
                } else {
                    const uint last = r.captured(2).toUInt(nullptr, 16);
                    for (ushort code = r.captured(4).toUShort(nullptr, 16); glyph <= last;
                         ++glyph, ++code) {
                        glyphs[glyph] = QChar(code);
                    }
                }
            }
        }
        for (const QString& section : cmap.split("beginbfchar").mid(1)) {
            for (auto entry = single.globalMatch(section.section("endbfchar", 0, 0));
                 entry.hasNext();) {
                const auto c = entry.next();
                glyphs[c.captured(1).toUInt(nullptr, 16)] =
                    QChar(c.captured(2).toUShort(nullptr, 16));
            }
        }
    }
    // The pages in the order of the page tree.
    QStringList pages;
    static const QRegularExpression kids(R"(/Type /Pages\b[\s\S]*?/Kids\s*\[([^\]]*)\])");
    static const QRegularExpression reference(R"((\d+) 0 R)");
    static const QRegularExpression contents(R"(/Contents (\d+) 0 R)");
    static const QRegularExpression resources(R"(/Resources (\d+) 0 R)");
    static const QRegularExpression fontName(R"(/(F\d+) (\d+) 0 R)");
    static const QRegularExpression drawn(R"(/(F\d+) [\d.]+ Tf|<([0-9A-Fa-f]+)> Tj)");
    for (const QByteArray& dictionary : dictionaries) {
        const auto tree = kids.match(text(dictionary));
        if (!tree.hasMatch()) {
            continue;
        }
        for (auto kid = reference.globalMatch(tree.captured(1)); kid.hasNext();) {
            const QString page = text(dictionaries.value(kid.next().captured(1).toInt()));
            QMap<QString, int> fontOf;
            const QString names =
                text(dictionaries.value(resources.match(page).captured(1).toInt()));
            for (auto font = fontName.globalMatch(names); font.hasNext();) {
                const auto f = font.next();
                fontOf[f.captured(1)] = f.captured(2).toInt();
            }
            QString shown;
            const QMap<uint, QChar>* glyphs = nullptr;
            const QString content = text(streams.value(contents.match(page).captured(1).toInt()));
            for (auto op = drawn.globalMatch(content); op.hasNext();) {
                const auto o = op.next();
                if (!o.captured(1).isEmpty()) {
                    glyphs = &fonts[fontOf.value(o.captured(1))];
                    continue;
                }
                const QString ids = o.captured(2);
                for (qsizetype at = 0; glyphs != nullptr && at + 4 <= ids.size(); at += 4) {
                    shown += glyphs->value(ids.mid(at, 4).toUInt(nullptr, 16), QChar('?'));
                }
            }
            static const QRegularExpression space(R"(\s)");
            pages << shown.remove(space);
        }
    }
    return pages;
}

// A table cell's text, its paragraphs joined, trimmed.
QString CellText(const QTextTableCell& cell) {
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(QChar::ParagraphSeparator, ' ').trimmed();
}

// Opens the report from the menu; `action` runs on the report dialog once it shows.
void OnReport(GsmHarness& h, std::function<void(ui::SettingsReportDialog*)> action) {
    GsmHarness::OnModal([action](QWidget* modal) {
        auto* dialog = qobject_cast<ui::SettingsReportDialog*>(modal);
        QVERIFY(dialog != nullptr);
        action(dialog);
    });
    GsmHarness::ChooseFromMenu(btnMore(*h.form), actPrintSettings(*h.form));
}

}  // namespace

class GsmPrintTest : public QObject {
    Q_OBJECT

  private slots:
    void reportOfTheLoggedInDeviceIsSavedAsPdf() {
        GsmHarness h;
        h.Connect();
        QVERIFY(h.form->DeviceLoggedIn());
        QTemporaryDir dir;
        const QString name = dir.filePath("report.pdf");
        QString shown;
        bool saved = false;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            shown = dialog->view->toPlainText();
            dialog->SetFileNameAsk([name] { return name; });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            saved = QFile::exists(name);
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        QVERIFY(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 5000));
        QVERIFY(saved);
        // The firmware the device reported and the settings it holds.
        QVERIFY2(shown.contains("2.14"), qPrintable(shown));
        QVERIFY(shown.contains("+36301234567"));
        QFile pdf(name);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(4), QByteArray("%PDF"));
        QVERIFY(pdf.size() > 1000);
    }

    // Every group heading has the same room above it as the first, also one that follows a
    // table whose last cell is empty (the phone numbers with T3 and T4 unset, the alarm table),
    // which the renderer once let sit on that table.
    void everyHeadingHasTheSameRoomAbove() {
        quelvar::settings::SettingsModel model;
        model.Rule(quelvar::settings::TableId::kPhoneNumbers).SetValue("T1", "+3630");
        model.AlarmGrid().SetCell(1, 1, "130");
        const std::string html = quelvar::settings::BuildSettingsReport(model, {});
        QTextDocument document;
        document.setHtml(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size())));
        document.setTextWidth(700);
        QAbstractTextDocumentLayout* layout = document.documentLayout();
        QList<qreal> gaps;  // from the bottom of the table above to each heading's top
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            if (block.blockFormat().headingLevel() != 2) {
                continue;
            }
            qreal above = -1;
            for (QTextFrame* frame : document.rootFrame()->childFrames()) {
                if (frame->lastPosition() < block.position()) {
                    above = layout->frameBoundingRect(frame).bottom();
                }
            }
            if (above >= 0 && !block.text().startsWith("Contact ID")) {  // a note between
                gaps << layout->blockBoundingRect(block).top() - above;
            }
        }
        QVERIFY(gaps.size() >= 6);
        for (const qreal gap : gaps) {
            QVERIFY2(qAbs(gap - gaps.first()) < 3 && gap > 8, qPrintable(QString::number(gap)));
        }
    }

    // The report is the customer's copy: the SIM PIN (1234 on the simulated device) is left out
    // until "Include the SIM PIN" is ticked.
    void simPinIsPrintedOnlyWhenAskedFor() {
        GsmHarness h;
        h.Connect();
        QCOMPARE(h.form->model.Grid(quelvar::settings::TableId::kSimCard).Cell(1, 0),
                 std::string("1234"));
        QString without;
        QString with;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            without = dialog->view->toPlainText();
            QTest::mouseClick(dialog->cbWithPin, Qt::LeftButton);
            with = dialog->view->toPlainText();
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        QVERIFY(QTest::qWaitFor([&] { return !with.isEmpty(); }, 5000));
        const QString pin = QString::fromUtf8("PIN kód\n");
        QVERIFY2(without.contains(pin + "(not printed)"), qPrintable(without));
        QVERIFY2(with.contains(pin + "1234"), qPrintable(with));
    }

    // A file shown without a device: its settings, but no firmware, and the device hears nothing.
    void reportOfAFileWithoutDeviceHasNoFirmwareAndSendsNothing() {
        GsmHarness h;
        QVERIFY(h.WaitAttached());  // attached, but never logged in
        QTemporaryDir dir;
        const QString site = dir.filePath("site.am2");
        quelvar::settings::SettingsModel model;
        model.Grid(quelvar::settings::TableId::kPhoneNumbers).SetCell(1, 1, "+36705550101");
        QVERIFY(quelvar::settings::SaveSettingsFile(model, 0, site.toStdString()).ok);
        h.form->SetFileNameAsk([site](bool) { return site; });
        QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
        // The open restarts the monitor, whose tick would log the device in while the menu
        // opens: the test ticks.
        h.form->Timer1.stop();
        QString shown;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) { shown = dialog->view->toPlainText(); });
        QVERIFY(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 5000));
        QVERIFY(shown.contains("+36705550101"));
        QVERIFY2(!shown.contains("Firmware"), qPrintable(shown));
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
    }

    void cancelledOrFailedPdfWritesNothingAndSaysWhy() {
        GsmHarness h;
        h.Connect();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("taken.pdf"));
        QString said;
        bool done = false;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            dialog->SetFileNameAsk([] { return QString(); });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            dialog->SetFileNameAsk([&] { return dir.filePath("taken.pdf"); });
            GsmHarness::OnModal([&](QWidget* box) {
                if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
                    said = label->text();
                }
            });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done; }, 5000));
        QVERIFY2(said.startsWith("Unable to write"), qPrintable(said));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    // A report to sign: the event tables repeat their heading row on each page and give the
    // SMS text the room the narrow marks leave; two signatures, each with its own line and
    // date. The More button is not left pressed while the report shows.
    void reportIsFitToSign() {
        GsmHarness h;
        h.Connect();
        bool buttonDown = true;
        std::vector<int> headerRows;  // of each event table
        QStringList blocks;
        QList<QStringList> rowsShown;  // of every table, cell by cell
        int smsWidth = 0;
        QTemporaryDir dir;
        // QUELVAR_REPORT_PDF=FILE keeps the report to look at.
        const QString kept = qEnvironmentVariable("QUELVAR_REPORT_PDF");
        const QString pdf = kept.isEmpty() ? dir.filePath("report.pdf") : kept;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            buttonDown = btnMore(*h.form)->isDown();
            QTextDocument* document = dialog->view->document();
            for (QTextFrame* frame : document->rootFrame()->childFrames()) {
                auto* table = qobject_cast<QTextTable*>(frame);
                for (int row = 0; table != nullptr && row < table->rows(); ++row) {
                    QStringList cells;
                    for (int col = 0; col < table->columns(); ++col) {
                        cells << CellText(table->cellAt(row, col));
                    }
                    rowsShown << cells;
                }
                if (table != nullptr && table->rows() > 1 &&
                    table->cellAt(0, quelvar::settings::kAlarmSmsColumn).isValid() &&
                    table->columns() == h.form->model.AlarmGrid().ColCount()) {
                    headerRows.push_back(table->format().headerRowCount());
                    const auto widths = table->format().columnWidthConstraints();
                    if (widths.size() > quelvar::settings::kAlarmSmsColumn) {
                        smsWidth =
                            static_cast<int>(widths[quelvar::settings::kAlarmSmsColumn].rawValue());
                    }
                }
            }
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
                blocks << block.text().trimmed();
            }
            dialog->SetFileNameAsk([pdf] { return pdf; });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        QVERIFY(QTest::qWaitFor([&] { return !blocks.isEmpty(); }, 5000));
        QVERIFY(!buttonDown);
        QVERIFY(!headerRows.empty());
        for (int rows : headerRows) {
            QCOMPARE(rows, 1);
        }
        QVERIFY2(smsWidth >= 30, qPrintable(QString::number(smsWidth)));
        QCOMPARE(blocks.count("Installer's signature"), 1);
        QCOMPARE(blocks.count("Customer's signature"), 1);
        // The report's own date, and one date line beside each signature, on the same row;
        // no other "Date" anywhere.
        QCOMPARE(blocks.count("Date"), 3);
        QVERIFY(std::any_of(rowsShown.cbegin(), rowsShown.cend(), [](const QStringList& cells) {
            return cells.size() == 2 && cells[0] == "Date" &&
                   QDate::fromString(cells[1], Qt::ISODate).isValid();
        }));
        QVERIFY(rowsShown.contains(QStringList{"Installer's signature", "", "Date"}));
        QVERIFY(rowsShown.contains(QStringList{"Customer's signature", "", "Date"}));
        QVERIFY(QFile::exists(pdf));
    }

    // A report of many pages: each page says its number and the real count, no row is lost at
    // a page break, and the alarm table's heading row stands above the rows on every page
    // that holds any.
    void longReportIsNumberedPageByPage() {
        GsmHarness h;
        h.Connect();
        auto& alarms = h.form->model.AlarmGrid();
        constexpr std::string_view kWord = " Call the guard service.";
        int words = 0;
        for (int row = alarms.FixedRows(); row < alarms.RowCount(); ++row) {
            std::string sms = "Row " + std::to_string(row) + ":";
            while (sms.size() + kWord.size() <= quelvar::settings::kSmsMaxLength) {
                sms += kWord;
                ++words;
            }
            alarms.SetCell(quelvar::settings::kAlarmSmsColumn, row, sms);
        }
        // The heading cells left of the marks, as the PDF spells them. Where the font has no
        // bold face, the bold heading is drawn twice, so each cell may stand there twice.
        QString heading;
        for (int col = 1; col < quelvar::settings::kAlarmFirstCallColumn; ++col) {
            const QString cell =
                QString::fromLatin1(alarms.Cell(col, 0)).remove(QRegularExpression(R"(\s)"));
            heading += "(?:" + QRegularExpression::escape(cell) + ")+";
        }
        const QRegularExpression headingRow(heading);
        QTemporaryDir dir;
        // QUELVAR_REPORT_PDF=FILE keeps the report to look at.
        const QString kept = qEnvironmentVariable("QUELVAR_REPORT_PDF");
        const QString name = kept.isEmpty() ? dir.filePath("report.pdf") : kept;
        bool done = false;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            dialog->SetFileNameAsk([name] { return name; });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done; }, 5000));
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList pages = PdfPageTexts(file.readAll());
        QVERIFY2(pages.size() >= 2, qPrintable(QString::number(pages.size())));
        // Every row is there. (Not "once": the writer keeps the glyphs that the page's clip
        // hides, the last lines of the page before among them.)
        const QString all = pages.join(QString());
        QVERIFY(all.count("Calltheguardservice.") >= words);
        for (int row = alarms.FixedRows(); row < alarms.RowCount(); ++row) {
            QVERIFY2(all.contains(QString("Row%1:").arg(row)), qPrintable(QString::number(row)));
        }
        for (qsizetype index = 0; index < pages.size(); ++index) {
            const QString& page = pages[index];
            const QString number =
                QString("Settingsreport,page%1of%2").arg(index + 1).arg(pages.size());
            QVERIFY2(page.count(number) == 1, qPrintable(number + "\n" + page));
            QCOMPARE(all.count(number), 1);
            const qsizetype firstRow = page.indexOf(QRegularExpression("Row\\d+:"));
            if (firstRow >= 0) {
                const qsizetype shownHeading = page.indexOf(headingRow);
                QVERIFY2(shownHeading >= 0 && shownHeading < firstRow, qPrintable(page));
            }
        }
    }
};

QTEST_MAIN(GsmPrintTest)
#include "GsmPrintTest.moc"

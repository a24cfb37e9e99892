#include "ui/RtfWriter.h"

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

using corvala::ui::Marker;
using corvala::ui::RtfWriter;

namespace {

// The text of a literal; QString::fromUtf16 would drop a leading U+FEFF as a
// byte-order mark.
QString Text(const char16_t* text) {
    return QString(reinterpret_cast<const QChar*>(text), qsizetype(std::char_traits<char16_t>::length(text)));
}

// One paragraph as an RTF reader shows it: its text, and for every UTF-16
// unit its look: 'G' bold green, 'R' bold red, '.' plain (not bold, normal
// colour), '?' anything else.
struct ShownLine {
    QString text;
    QString looks;
};

struct Reading {
    bool ok = false;
    QString failure;
    QByteArray html;
    std::vector<ShownLine> lines;
};

// The named entities the reader uses for the characters these tests write.
const QHash<QByteArray, char16_t>& NamedEntities() {
    static const QHash<QByteArray, char16_t> entities = {
        {"amp", u'&'},       {"lt", u'<'},          {"gt", u'>'},         {"quot", u'"'},
        {"nbsp", u'\u00A0'}, {"eacute", u'\u00E9'}, {"szlig", u'\u00DF'}, {"oslash", u'\u00F8'},
        {"uuml", u'\u00FC'}, {"Uuml", u'\u00DC'},   {"euro", u'\u20AC'},
    };
    return entities;
}

QChar LookOf(int bold, const QByteArray& colour) {
    if (bold > 0 && colour == "#008000") return u'G';
    if (bold > 0 && colour == "#ff0000") return u'R';
    if (bold == 0 && (colour.isEmpty() || colour == "#000000")) return u'.';
    return u'?';
}

// Reads the reader's HTML body back into paragraphs: <br> ends one, <b> and
// <font color> nest, text is UTF-8 with numeric and named entities (two
// numeric entities of a surrogate pair make one character again).
bool ParseHtml(const QByteArray& html, std::vector<ShownLine>& lines, QString& failure) {
    const qsizetype bodyTag = html.indexOf("<body>");
    const qsizetype bodyEnd = html.lastIndexOf("</body>");
    if (bodyTag < 0 || bodyEnd < bodyTag) {
        failure = QStringLiteral("no HTML body");
        return false;
    }
    int bold = 0;
    std::vector<QByteArray> colours;  // one entry per open <font>, empty when it sets no colour
    auto colour = [&colours]() -> QByteArray {
        for (auto it = colours.rbegin(); it != colours.rend(); ++it)
            if (!it->isEmpty()) return *it;
        return {};
    };
    ShownLine line;
    auto addText = [&](const QString& text) {
        line.text += text;
        line.looks += QString(text.size(), LookOf(bold, colour()));
    };

    qsizetype i = bodyTag + 6;
    while (i < bodyEnd) {
        const char c = html[i];
        if (c == '<') {
            const qsizetype close = html.indexOf('>', i);
            const QByteArray tag = html.mid(i + 1, close - i - 1);
            i = close + 1;
            if (tag == "b") {
                ++bold;
            } else if (tag == "/b") {
                --bold;
            } else if (tag.startsWith("font")) {
                const qsizetype at = tag.indexOf("color=\"");
                colours.push_back(at < 0 ? QByteArray() : tag.mid(at + 7, 7).toLower());
            } else if (tag == "/font") {
                if (!colours.empty()) colours.pop_back();
            } else if ((tag.startsWith("span ") && !tag.contains("color")) || tag == "/span") {
                // font size only
            } else if (tag == "br") {
                lines.push_back(line);
                line = {};
            } else {
                failure = QStringLiteral("unexpected tag <%1>").arg(QString::fromLatin1(tag));
                return false;
            }
        } else if (c == '&') {
            const qsizetype semicolon = html.indexOf(';', i);
            const QByteArray name = html.mid(i + 1, semicolon - i - 1);
            i = semicolon + 1;
            if (name.startsWith('#')) {
                const uint code = name.mid(1).toUInt();
                addText(code < 0x10000 ? QString(QChar(char16_t(code)))
                                       : QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1));
            } else if (NamedEntities().contains(name)) {
                addText(QString(QChar(NamedEntities().value(name))));
            } else {
                failure = QStringLiteral("unknown entity &%1;").arg(QString::fromLatin1(name));
                return false;
            }
        } else if (c == '\n') {
            ++i;  // source layout only
        } else {
            qsizetype end = i;
            while (end < bodyEnd && html[end] != '<' && html[end] != '&' && html[end] != '\n') ++end;
            addText(QString::fromUtf8(html.mid(i, end - i)));
            i = end;
        }
    }
    if (!line.text.isEmpty()) lines.push_back(line);
    return true;
}

// Hands the document to Debian's RTF reader and reads its HTML back.
Reading ReadWithUnrtf(const QByteArray& document) {
    Reading reading;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.rtf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size()) {
        reading.failure = QStringLiteral("cannot write %1").arg(path);
        return reading;
    }
    file.close();

    QProcess unrtf;
    unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--html"), path});
    if (!unrtf.waitForFinished(-1) || unrtf.exitStatus() != QProcess::NormalExit || unrtf.exitCode() != 0) {
        reading.failure = QStringLiteral("unrtf failed: %1").arg(QString::fromLocal8Bit(unrtf.readAllStandardError()));
        return reading;
    }
    reading.html = unrtf.readAllStandardOutput();
    reading.ok = ParseHtml(reading.html, reading.lines, reading.failure);
    return reading;
}

// Braces outside escapes open and close in step, and the document is one group.
bool GroupsBalanced(const QByteArray& rtf) {
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;
        } else if (rtf[i] == '{') {
            ++depth;
        } else if (rtf[i] == '}') {
            if (--depth == 0 && rtf.indexOf('}', i + 1) >= 0) return false;
        }
    }
    return depth == 0;
}

struct LogLine {
    const char* name;
    const char16_t* text;
    Marker marker;
    int markedUnits;  // leading UTF-16 units the reader must show bold and coloured
};

// The lines of one log, read back together; each must come back unchanged.
const LogLine kLog[] = {
    {"ok line", u" ok 1 AC R", Marker::Ok, 3},
    {"err line", u"err 8 XY 1", Marker::Err, 3},
    {"unmarked line", u"*** plain", Marker::None, 0},
    {"two blanks", u"err 3  errors found.", Marker::Err, 3},
    {"backslash and braces", u" ok 4 AN a\\b{c}d}{\\", Marker::Ok, 3},
    {"braces in marker", u"{\\}5 x", Marker::Err, 3},
    {"accented", u" ok 5 AN \u00E9 \u00DF \u00F8 \u0141 \u20AC Z\u00FCrich", Marker::Ok, 3},
    {"outside the BMP", u"err 6 AN \U0001F600 x", Marker::Err, 3},
    {"short marked line", u"ok", Marker::Ok, 2},
    {"marker then non-BMP", u"\U0001F600ab c", Marker::Ok, 4},
    {"control byte", u" ok 7 a\u0001b", Marker::Ok, 3},
    {"undefined code page byte", u" ok 8 \u0081\u008D", Marker::Ok, 3},
    {"byte-order mark", u" ok 9 \uFEFFAC R", Marker::Ok, 3},
    {"last line", u"err 2  errors found.", Marker::Err, 3},
};

}  // namespace

class RtfTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void logReadsBack_data();
    void logReadsBack();
    void readsBackEveryLine();
    void emptyLogIsValidDocument();
    void fontReachesReader();
    void escapes_data();
    void escapes();

private:
    Reading log_;
    QByteArray logDocument_;
};

void RtfTest::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty())
        QFAIL("unrtf is not installed (scripts/install-deps installs it)");
    RtfWriter writer;
    for (const LogLine& line : kLog) writer.addLine(Text(line.text), line.marker);
    logDocument_ = writer.document();
    log_ = ReadWithUnrtf(logDocument_);
    QVERIFY2(log_.ok, qPrintable(log_.failure));
}

void RtfTest::logReadsBack_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(kLog)); ++i) QTest::newRow(kLog[i].name) << i;
}

void RtfTest::logReadsBack() {
    QFETCH(int, index);
    QVERIFY(std::size_t(index) < log_.lines.size());
    const ShownLine& shown = log_.lines[index];
    QCOMPARE(shown.text, Text(kLog[index].text));
    const QChar marked = kLog[index].marker == Marker::Ok ? u'G' : u'R';
    const qsizetype count = kLog[index].markedUnits;
    QCOMPARE(shown.looks, QString(count, marked) + QString(shown.text.size() - count, u'.'));
}

void RtfTest::readsBackEveryLine() {
    QVERIFY(GroupsBalanced(logDocument_));
    QVERIFY(logDocument_.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    QCOMPARE(log_.lines.size(), std::size(kLog));
}

void RtfTest::emptyLogIsValidDocument() {
    const QByteArray document = RtfWriter().document();
    QVERIFY(document.startsWith("{\\rtf1"));
    QVERIFY(GroupsBalanced(document));
    const Reading reading = ReadWithUnrtf(document);
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QCOMPARE(reading.lines.size(), std::size_t(0));
}

void RtfTest::fontReachesReader() {
    RtfWriter writer;
    writer.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    writer.addLine(QStringLiteral(" ok 1 AC R"), Marker::Ok);
    const QByteArray document = writer.document();
    QVERIFY(document.contains("\\fs22"));
    const Reading reading = ReadWithUnrtf(document);
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QVERIFY(reading.html.contains("<font face=\"DejaVu Sans\">"));
    QCOMPARE(reading.lines.size(), std::size_t(1));
    QCOMPARE(reading.lines[0].text, QStringLiteral(" ok 1 AC R"));
}

// What the document holds for characters a reader sees through escapes; the
// fallback after \uN is the code page 1252 byte where there is one.
void RtfTest::escapes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("rtf");

    auto row = [](const char* name, const char16_t* text, const char* rtf) {
        QTest::newRow(name) << Text(text) << QByteArray(rtf);
    };
    row("latin-1 letter", u"\u00E9", "\\u233\\'e9\\par");
    row("code page letter above U+00FF", u"\u20AC\u0160", "\\u8364\\'80\\u352\\'8a\\par");
    row("no code page byte", u"\u0141ab", "\\u321\\'3fab\\par");
    row("signed above U+7FFF", u"\uFFFD\uFEFF", "\\u-3\\'3f\\u-257\\'3f\\par");
    row("surrogate pair", u"\U0001F600", "\\u-10179\\'3f\\u-8704\\'3f\\par");
    row("C1 control", u"\u0081", "\\u129\\'3f\\par");
    row("tab", u"a\tb", "a\\tab b\\par");
    row("tab before blank", u"\t x", "\\tab  x\\par");
    row("control byte", u"a\u0001\u001F", "a\\'01\\'1f\\par");
    row("specials", u"\\{}", "\\\\\\{\\}\\par");
    row("digits after \\u", u"\u00E912", "\\u233\\'e912\\par");
    row("runs of blanks", u" a  b   c ", " a \\'20b \\'20\\'20c \\par");
    // A reader would start a new paragraph or line at these; the log shows
    // them as U+FFFD, and so does the document.
    row("line and paragraph breaks", u"a\u2029b\u2028c\uFDD0\v\f\u0085\uFFFF",
        "a\\u-3\\'3fb\\u-3\\'3fc\\u-3\\'3f\\u-3\\'3f\\u-3\\'3f\\u-3\\'3f\\u-3\\'3f\\par");
}

void RtfTest::escapes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, rtf);

    RtfWriter writer;
    writer.addLine(text, Marker::None);
    const QByteArray document = writer.document();
    QVERIFY2(document.contains("\n" + rtf + "\n"), document.constData());
    QVERIFY(GroupsBalanced(document));
}

QTEST_MAIN(RtfTest)
#include "rtf_test.moc"

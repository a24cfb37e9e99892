#include "ui/LineDecoding.h"

#include <QTest>

#include <string>
#include <string_view>

using corvala::ui::DecodeLine;

class DecodingTest : public QObject {
    Q_OBJECT

private slots:
    void decodesLine_data();
    void decodesLine();
};

void DecodingTest::decodesLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    // QString(const QChar*) rather than fromUtf16, which would take a
    // leading U+FEFF for a byte-order mark and drop it.
    auto row = [](const char* name, QByteArray bytes, const char16_t* expected) {
        QTest::newRow(name) << bytes
                            << QString(reinterpret_cast<const QChar*>(expected),
                                       qsizetype(std::char_traits<char16_t>::length(expected)));
    };

    // ASCII, control bytes included, read as is.
    row("empty", "", u"");
    row("ascii", "AN Zone 1", u"AN Zone 1");
    row("ascii controls", QByteArray("a\tb\x01\x1f\x7f", 6), u"a\tb\x01\x1f\x7f");

    // Valid UTF-8 of every length, at the edges of each length.
    row("utf8 two bytes", "Z\xC3\xBCrich", u"Z\u00FCrich");
    row("utf8 U+0080", "\xC2\x80", u"\u0080");
    row("utf8 U+07FF", "\xDF\xBF", u"\u07FF");
    row("utf8 three bytes", "\xE2\x82\xAC 5", u"\u20AC 5");
    row("utf8 U+0800", "\xE0\xA0\x80", u"\u0800");
    row("utf8 U+D7FF", "\xED\x9F\xBF", u"\uD7FF");
    row("utf8 U+E000", "\xEE\x80\x80", u"\uE000");
    row("utf8 U+FFFF", "\xEF\xBF\xBF", u"\uFFFF");
    row("utf8 four bytes", "AN \xF0\x9F\x98\x80!", u"AN \U0001F600!");
    row("utf8 U+10000", "\xF0\x90\x80\x80", u"\U00010000");
    row("utf8 U+10FFFF", "\xF4\x8F\xBF\xBF", u"\U0010FFFF");
    row("utf8 mixed",
        "\xC5\x81\xC3\xB3"
        "d\xC5\xBA \xC3\x98st",
        u"\u0141\u00F3d\u017A \u00D8st");
    row("byte-order mark stays",
        "\xEF\xBB\xBF"
        "AC R",
        u"\uFEFFAC R");
    row("utf8 after long ascii", "ABCDEFGHIJKLMNOPQ\xC3\xA9", u"ABCDEFGHIJKLMNOPQ\u00E9");

    // Anything that is not strict UTF-8 makes the whole line Windows-1252.
    row("overlong two bytes C0", "\xC0\xAF", u"\u00C0\u00AF");
    row("overlong two bytes C1", "\xC1\xBF", u"\u00C1\u00BF");
    row("overlong three bytes", "\xE0\x80\xAF", u"\u00E0\u20AC\u00AF");
    row("overlong four bytes", "\xF0\x8F\xBF\xBF", u"\u00F0\u008F\u00BF\u00BF");
    row("high surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC");
    row("low surrogate", "\xED\xBF\xBF", u"\u00ED\u00BF\u00BF");
    row("above U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC");
    row("lead byte F5", "\xF5\x80\x80\x80", u"\u00F5\u20AC\u20AC\u20AC");
    row("lead byte FF", "a\xFF", u"a\u00FF");
    row("truncated at end", "AB\xE2\x82", u"AB\u00E2\u201A");
    row("truncated four bytes", "\xF0\x9F\x98", u"\u00F0\u0178\u02DC");
    row("truncated before ascii", "\xE2\x82X", u"\u00E2\u201AX");
    row("lone continuation", "\x80", u"\u20AC");
    row("valid utf8 then invalid byte", "\xC3\xBC \xFC", u"\u00C3\u00BC \u00FC");
    row("invalid after long ascii", "ABCDEFGHIJKLMNOPQ\xFC", u"ABCDEFGHIJKLMNOPQ\u00FC");

    // Windows-1252 and Latin-1.
    row("latin1 Zurich", "Z\xFCrich", u"Z\u00FCrich");
    row("latin1 upper half", "\xA0\xA9\xC4\xD6\xDF\xE9\xF8\xFF", u"\u00A0\u00A9\u00C4\u00D6\u00DF\u00E9\u00F8\u00FF");
    row("cp1252 euro", "\x80", u"\u20AC");
    row("cp1252 Y diaeresis", "\x9F", u"\u0178");
    row("cp1252 0x80..0x9F",
        "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
        "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
        u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
        u"\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178");
    row("cp1252 undefined 0x81",
        "a\x81"
        "b",
        u"a\u0081b");
}

void DecodingTest::decodesLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    const QString decoded = DecodeLine(std::string_view(bytes.constData(), bytes.size()));
    QCOMPARE(decoded, expected);
}

QTEST_GUILESS_MAIN(DecodingTest)
#include "decoding_test.moc"

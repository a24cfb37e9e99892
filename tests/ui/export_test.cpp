// File › Export map: the open file as GeoJSON or KML by the extension of
// the name chosen, made with the Checks menu's settings, read back by Qt's
// own JSON and XML readers; and a failed export, which leaves the file it
// was to replace as it was.
#include <QAction>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>
#include <QXmlStreamReader>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "ui/Application.h"
#include "window_fixture.h"

using corvala::test::FileSizeLimit;
using corvala::ui::testing::Harness;
using corvala::ui::testing::ScratchDir;

namespace {

// A square (line 1), a circle without an upper limit (line 9) and an outline
// whose second point cannot be read (line 14).
const QByteArray kZones = "AC R\nAN Square\nAH FL100\nAL GND\n"
                          "DP 52:00:00 N 013:00:00 E\nDP 52:00:00 N 013:10:00 E\nDP 52:10:00 N 013:10:00 E\n"
                          "DP 52:10:00 N 013:00:00 E\n"
                          "AC Q\nAN Circle\nAL GND\nV X=52:30:00 N 013:30:00 E\nDC 5\n"
                          "AC D\nAN Broken\nAH FL65\nAL GND\nDP 52:00:00 N 014:00:00 E\nDP 52:10:00 N\n";

struct Feature {
    QString name;
    QString geometry;  // "Polygon", "LineString", ... or "" for none
    int points = 0;  // of its first ring or line
    QStringList rules;  // of its findings
};

QList<Feature> GeoJsonFeatures(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || document["type"] != "FeatureCollection") return {};
    QList<Feature> features;
    for (const QJsonValue f : document["features"].toArray()) {
        Feature feature{f["properties"]["name"].toString(), f["geometry"]["type"].toString(), 0, {}};
        QJsonArray points = f["geometry"]["coordinates"].toArray();
        if (feature.geometry == "Polygon") points = points[0].toArray();
        feature.points = static_cast<int>(points.size());
        for (const QJsonValue finding : f["properties"]["findings"].toArray()) feature.rules << finding["rule"].toString();
        features << feature;
    }
    return features;
}

QList<Feature> KmlFeatures(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    QList<Feature> features;
    bool inPlacemark = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const QStringView tag = xml.name();
        if (tag == u"Placemark") {
            inPlacemark = token == QXmlStreamReader::StartElement;
            if (inPlacemark) features << Feature{};
        }
        if (!inPlacemark || token != QXmlStreamReader::StartElement) continue;
        if (tag == u"name") {
            features.last().name = xml.readElementText();
        } else if (tag == u"Polygon" || tag == u"LineString") {
            features.last().geometry = tag.toString();
        } else if (tag == u"coordinates") {
            features.last().points = static_cast<int>(xml.readElementText().split(u' ').size());
        } else if (tag == u"description") {
            // "... [rule]<br>" per finding.
            static const QRegularExpression rule(QStringLiteral("\\[([a-z-]+|[A-Z]+)\\]"));
            for (const QRegularExpressionMatch& m : rule.globalMatch(xml.readElementText()))
                features.last().rules << m.captured(1);
        }
    }
    if (xml.hasError()) return {};
    return features;
}

void SetBlockChecks(Harness& h, bool on) {
    if (h.form->Blockchecks1->isChecked() != on) h.form->Blockchecks1->trigger();
}

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void exportWritesTheMap_data();
    void exportWritesTheMap();
    void failedExportKeepsTheOldFile_data();
    void failedExportKeepsTheOldFile();
};

void ExportTest::exportWritesTheMap_data() {
    QTest::addColumn<QString>("name");  // as chosen in the dialog
    QTest::addColumn<QString>("filter");  // the dialog's filter chosen before, or ""
    QTest::addColumn<QString>("written");  // the file written
    QTest::addColumn<bool>("blocks");
    QTest::newRow("geojson") << "map.geojson" << "" << "map.geojson" << false;
    QTest::newRow("json, block checks") << "map.json" << "" << "map.json" << true;
    QTest::newRow("kml") << "map.KML" << "" << "map.KML" << false;
    QTest::newRow("kml, block checks") << "map.kml" << "" << "map.kml" << true;
    QTest::newRow("no extension, KML filter") << "map" << "KML (*.kml)" << "map.kml" << true;
    QTest::newRow("no extension") << "map" << "" << "map.geojson" << false;
}

void ExportTest::exportWritesTheMap() {
    QFETCH(QString, name);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QFETCH(bool, blocks);
    ScratchDir dir;
    Harness h;
    SetBlockChecks(h, blocks);
    h.open(dir.write("zones.txt", kZones));
    const QStringList log = h.logLines();
    if (!filter.isEmpty()) emit h.form->ExportDialog1->filterSelected(filter);

    h.answers.push_back(dir.path(name));
    h.form->Exportmap1->trigger();
    QCOMPARE(h.failures, QStringList());
    QCOMPARE(h.dialogNames.last(), QString("ExportDialog1"));
    QCOMPARE(h.offeredNames.last(), filter.isEmpty() ? QString("zones.geojson") : QString("zones.kml"));
    const QByteArray bytes = ScratchDir::read(dir.path(written));
    const QList<Feature> features = written.endsWith("json") ? GeoJsonFeatures(bytes) : KmlFeatures(bytes);
    QCOMPARE(features.size(), 3);
    // The square closed (5 points), the circle followed, the broken outline
    // without a shape.
    QCOMPARE(features[0].name, QString("Square"));
    QCOMPARE(features[0].geometry, QString("Polygon"));
    QCOMPARE(features[0].points, 5);
    QCOMPARE(features[1].name, QString("Circle"));
    QCOMPARE(features[1].geometry, QString("Polygon"));
    QVERIFY(features[1].points > 30);
    QCOMPARE(features[2].name, QString("Broken"));
    QCOMPARE(features[2].geometry, QString());
    // The block checks' findings come with the menu's setting.
    QCOMPARE(features[1].rules, blocks ? QStringList{"missing-upper-limit"} : QStringList());
    QCOMPARE(features[2].rules, blocks ? (QStringList{"DP", "geometry-skipped"}) : QStringList{"DP"});
    // The window's results stay as they were.
    QCOMPARE(h.logLines(), log);
    QCOMPARE(h.form->statusBar()->currentMessage(),
             QString("Exported the map of zones.txt to %1.").arg(written));
}

// Nothing is written, and the file there before stays byte for byte, with
// no temporary file left beside it.
void ExportTest::failedExportKeepsTheOldFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");  // "%1": the scratch folder
    QTest::newRow("disk full") << "full" << "map.geojson" << "Cannot write the map to \"%1/map.geojson\".";
    QTest::newRow("folder not writable") << "read-only" << "map.kml"
                                         << "Cannot create file \"%1/map.kml\". Permission denied";
    QTest::newRow("airspace file gone") << "gone" << "map.kml"
                                        << "Cannot open file \"%1/zones.txt\". No such file or directory";
    QTest::newRow("no map extension") << "" << "map.txt"
                                      << "Cannot tell the map's format from the name \"%1/map.txt\": it must end "
                                         "in .geojson or .json (GeoJSON) or in .kml (KML).";
    QTest::newRow("no file open") << "unopened" << "map.kml"
                                  << "Open an airspace file first: the map shows the airspaces of the open file.";
}

void ExportTest::failedExportKeepsTheOldFile() {
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(QString, message);
    if (kind == "read-only" && ::geteuid() == 0) QSKIP("the superuser writes in any folder");
    ScratchDir dir;
    Harness h;
    SetBlockChecks(h, true);
    const QString zones = dir.write("zones.txt", kZones);
    if (kind != "unopened") h.open(zones);
    const QByteArray old("the map exported before");
    const QString path = dir.write(target, old);
    if (kind == "gone") QFile::remove(zones);
    const QStringList before = dir.entries();
    const QByteArray folder = QFile::encodeName(dir.folder());
    if (kind == "read-only") ::chmod(folder.constData(), 0555);
    {
        std::optional<FileSizeLimit> full;
        if (kind == "full") full.emplace(1024);  // the map takes several times that
        h.answers.push_back(path);
        h.form->Exportmap1Click();
    }
    ::chmod(folder.constData(), 0755);
    QCOMPARE(h.failures, QStringList{message.contains("%1") ? message.arg(dir.folder()) : message});
    QCOMPARE(ScratchDir::read(path), old);
    QCOMPARE(dir.entries(), before);
}

CORVALA_UI_TEST_MAIN(ExportTest)
#include "export_test.moc"

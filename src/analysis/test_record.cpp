#include "analysis/test_record.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>

#include <cmath>

namespace qm::analysis {
namespace {

// A test record is a few hundred bytes; anything this large is some other file.
constexpr qint64 kLargestFile = 1 << 20;

const QString kAssetId = QStringLiteral("asset_id");
const QString kAssetDescription = QStringLiteral("asset_description");
const QString kSite = QStringLiteral("site");
const QString kOperator = QStringLiteral("operator");
const QString kAmbient = QStringLiteral("ambient_temperature_c");
const QString kHumidity = QStringLiteral("humidity_percent");
const QString kInsulationClass = QStringLiteral("insulation_class");
const QString kNotes = QStringLiteral("notes");

// Reads the members of a record object; the first one of the wrong kind ends it with `error_`.
class RecordReader {
public:
  explicit RecordReader(const QJsonObject& object) : object_(object) {}

  void text(const QString& key, QString& target) {
    const QJsonValue value = object_.value(key);
    if (value.isUndefined() || value.isNull()) {
      return;
    }
    if (!value.isString()) {
      fail(QStringLiteral("\"%1\" must be a text").arg(key));
      return;
    }
    target = value.toString();
  }

  void number(const QString& key, double lowest, double highest, std::optional<double>& target) {
    const QJsonValue value = object_.value(key);
    if (value.isUndefined() || value.isNull()) {
      return;
    }
    if (!value.isDouble() || value.toDouble() < lowest || value.toDouble() > highest) {
      fail(QStringLiteral("\"%1\" must be a number from %2 to %3, or null").arg(key).arg(lowest).arg(highest));
      return;
    }
    target = value.toDouble();
  }

  const QString& error() const { return error_; }

private:
  void fail(const QString& why) {
    if (error_.isEmpty()) {
      error_ = why;
    }
  }

  const QJsonObject& object_;
  QString error_;
};

QJsonValue numberOrNull(const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); }

}  // namespace

bool TestRecord::isEmpty() const { return *this == TestRecord{}; }

QString testRecordFileName(const QString& tableFileName) { return tableFileName + QStringLiteral(".test.json"); }

TestRecordRead readTestRecord(const QString& tableFileName) {
  const QString name = testRecordFileName(tableFileName);
  QFile file(name);
  if (!file.exists()) {
    return {};
  }
  const auto bad = [&name](const QString& why) { return TestRecordRead{std::nullopt, name + QStringLiteral(": ") + why}; };
  if (!file.open(QIODevice::ReadOnly)) {
    return bad(file.errorString());
  }
  if (file.size() > kLargestFile) {
    return bad(QStringLiteral("larger than 1 MB, so not a test record"));
  }
  const QByteArray bytes = file.read(kLargestFile + 1);
  if (file.error() != QFileDevice::NoError) {
    return bad(file.errorString());
  }
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
  if (parseError.error != QJsonParseError::NoError) {
    return bad(QStringLiteral("not JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset));
  }
  if (!document.isObject()) {
    return bad(QStringLiteral("not a JSON object"));
  }
  const QJsonObject object = document.object();
  TestRecord record;
  RecordReader reader(object);
  reader.text(kAssetId, record.assetId);
  reader.text(kAssetDescription, record.assetDescription);
  reader.text(kSite, record.site);
  reader.text(kOperator, record.operatorName);
  reader.number(kAmbient, kLowestAmbientCelsius, kHighestAmbientCelsius, record.ambientCelsius);
  reader.number(kHumidity, 0.0, kHighestHumidityPercent, record.humidityPercent);
  reader.text(kInsulationClass, record.insulationClass);
  reader.text(kNotes, record.notes);
  if (!reader.error().isEmpty()) {
    return bad(reader.error());
  }
  return {record, {}};
}

QString writeTestRecord(const QString& tableFileName, const TestRecord& record) {
  QJsonObject object;
  object.insert(kAssetId, record.assetId);
  object.insert(kAssetDescription, record.assetDescription);
  object.insert(kSite, record.site);
  object.insert(kOperator, record.operatorName);
  object.insert(kAmbient, numberOrNull(record.ambientCelsius));
  object.insert(kHumidity, numberOrNull(record.humidityPercent));
  object.insert(kInsulationClass, record.insulationClass);
  object.insert(kNotes, record.notes);
  const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);

  const QString name = testRecordFileName(tableFileName);
  QSaveFile file(name);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    return QStringLiteral("cannot write %1: %2").arg(name, file.errorString());
  }
  return {};
}

bool parseMeasurement(const QString& text, double lowest, double highest, std::optional<double>& value) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) {
    value.reset();
    return true;
  }
  // A record holds one number a field: a group separator is more likely a mistyped decimal point.
  QLocale locale = QLocale::system();
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  double number = locale.toDouble(trimmed, &ok);
  if (!ok) {
    number = QLocale::c().toDouble(trimmed, &ok);
  }
  if (!ok || !std::isfinite(number) || number < lowest || number > highest) {
    return false;
  }
  value = number;
  return true;
}

}  // namespace qm::analysis

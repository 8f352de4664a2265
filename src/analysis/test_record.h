#pragma once

// The record of an insulation test: what was tested, where, by whom, and in what conditions. It is
// kept in a small JSON file beside the table file ("readings.xls" -> "readings.xls.test.json"),
// so the table files stay exactly as they are, and read back when the table is opened. The file
// is written aside and renamed into place; a file that cannot be read is reported, never trusted
// in part.

#include <QString>

#include <optional>

namespace qm::analysis {

struct TestRecord {
  QString assetId;
  QString assetDescription;
  QString site;
  QString operatorName;
  std::optional<double> ambientCelsius;
  std::optional<double> humidityPercent;
  QString insulationClass;  // thermal class: "A", "B", "F", "H"
  QString notes;

  bool isEmpty() const;
  friend bool operator==(const TestRecord&, const TestRecord&) = default;
};

// The ambient temperatures and relative humidities a record accepts.
inline constexpr double kLowestAmbientCelsius = -50.0;
inline constexpr double kHighestAmbientCelsius = 150.0;
inline constexpr double kHighestHumidityPercent = 100.0;

// The side file of a table file.
QString testRecordFileName(const QString& tableFileName);

struct TestRecordRead {
  std::optional<TestRecord> record;  // none when there is no side file, or it is bad
  QString error;                     // why the side file is bad, naming it; empty otherwise
};

TestRecordRead readTestRecord(const QString& tableFileName);

// Writes the side file of `tableFileName`. Returns why it could not, or an empty text.
QString writeTestRecord(const QString& tableFileName, const TestRecord& record);

// What a person typed as a temperature or humidity: blank is none, else a number from `lowest` to
// `highest` in the system locale's form or with a "." for the decimal point. False, leaving
// `value` alone, when the text is neither.
bool parseMeasurement(const QString& text, double lowest, double highest, std::optional<double>& value);

}  // namespace qm::analysis

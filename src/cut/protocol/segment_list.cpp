#include "cut/protocol/segment_list.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

// Times closer than this are the same time: a millisecond is what the texts hold.
constexpr double kSameTime = 0.0005;

long long Milliseconds(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return 0;
  // The small allowance keeps 3.48, held as 3.4799999..., at 3.48.
  return static_cast<long long>(std::floor(seconds * 1000 + 1e-6));
}

QString Row(size_t index) { return QString("Segment %1").arg(index + 1); }

QString Span(const Segment& segment) {
  return QString("%1 to %2").arg(SegmentTimeText(segment.start), SegmentTimeText(segment.end));
}

}  // namespace

QString SegmentTimeText(double seconds) {
  const long long total = Milliseconds(seconds);
  const long long whole = total / 1000;
  return QString("%1:%2:%3.%4")
      .arg(whole / 3600)
      .arg(whole / 60 % 60, 2, 10, QChar('0'))
      .arg(whole % 60, 2, 10, QChar('0'))
      .arg(total % 1000, 3, 10, QChar('0'));
}

QString SegmentProblem(const SegmentList& list, size_t index, const Segment& segment, double videoEnd) {
  const QString row = Row(std::min(index, list.size()));
  if (!std::isfinite(segment.start) || !std::isfinite(segment.end) || segment.start < 0)
    return QString("%1 has a time that is no time.").arg(row);
  if (segment.end <= segment.start + kSameTime)
    return QString("%1 ends at %2, which is not after its start (%3).")
        .arg(row, SegmentTimeText(segment.end), SegmentTimeText(segment.start));
  if (videoEnd > 0 && segment.start >= videoEnd)
    return QString("%1 starts at %2, after the end of the video (%3).")
        .arg(row, SegmentTimeText(segment.start), SegmentTimeText(videoEnd));
  if (videoEnd > 0 && segment.end > videoEnd + kSameTime)
    return QString("%1 ends at %2, past the end of the video (%3).")
        .arg(row, SegmentTimeText(segment.end), SegmentTimeText(videoEnd));
  for (size_t other = 0; other < list.size(); ++other) {
    if (other == index) continue;
    const Segment& them = list[other];
    if (segment.start < them.end - kSameTime && them.start < segment.end - kSameTime)
      return QString("%1 (%2) overlaps %3 (%4).").arg(row, Span(segment), Row(other), Span(them));
  }
  return {};
}

QString SegmentListProblem(const SegmentList& list, double videoEnd) {
  for (size_t index = 0; index < list.size(); ++index)
    if (QString problem = SegmentProblem(list, index, list[index], videoEnd); !problem.isEmpty())
      return problem;
  return {};
}

SegmentList StretchesToCut(const SegmentList& list, SegmentMode mode, double videoEnd) {
  SegmentList cut;
  if (mode == SegmentMode::kKeep) {
    for (const Segment& segment : list)
      if (segment.end - segment.start >= 0.001) cut.push_back(segment);
    return cut;
  }
  SegmentList removed = list;
  std::sort(removed.begin(), removed.end(),
            [](const Segment& a, const Segment& b) { return a.start < b.start; });
  double from = 0;
  auto keep = [&](double to) {
    if (to - from >= 0.001) cut.push_back({from, to, QString("Part %1").arg(cut.size() + 1)});
  };
  for (const Segment& segment : removed) {
    keep(segment.start);
    from = std::max(from, segment.end);
  }
  keep(videoEnd);
  return cut;
}

namespace {

QString Escaped(const QString& name) {
  QString text;
  for (const QChar c : name) {
    if (c == ',' || c == '=' || c == '\\') text += '\\';
    text += c;
  }
  return text;
}

// Splits at the separator where it is not escaped; escapes stay in the parts.
QStringList SplitUnescaped(const QString& text, QChar separator) {
  QStringList parts{QString()};
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      parts.back() += text[i];
      parts.back() += text[++i];
    } else if (text[i] == separator) {
      parts << QString();
    } else {
      parts.back() += text[i];
    }
  }
  return parts;
}

QString Unescaped(const QString& text) {
  QString plain;
  for (qsizetype i = 0; i < text.size(); ++i)
    plain += text[i] == '\\' && i + 1 < text.size() ? text[++i] : text[i];
  return plain;
}

std::optional<Segment> ParseSpan(const QString& startText, const QString& endText, QString& problem) {
  const std::optional<double> start = ParseTimeText(startText), end = ParseTimeText(endText);
  if (!start || !end) {
    problem = QString("%1 is not a time.").arg((!start ? startText : endText).trimmed());
    return std::nullopt;
  }
  return Segment{*start, *end, {}};
}

}  // namespace

QString SegmentListArgument(const SegmentList& list) {
  QStringList items;
  for (const Segment& segment : list) {
    QString item = QString("%1-%2").arg(SegmentTimeText(segment.start), SegmentTimeText(segment.end));
    if (!segment.name.isEmpty()) item += "=" + Escaped(segment.name);
    items << item;
  }
  return items.join(',');
}

std::optional<SegmentList> ParseSegmentListArgument(const QString& text, QString& problem) {
  SegmentList list;
  for (const QString& item : SplitUnescaped(text, ',')) {
    const QStringList named = SplitUnescaped(item, '=');
    const QStringList times = named[0].split('-');
    if (named.size() > 2 || times.size() != 2) {
      problem = QString("%1 is not a stretch as START-END.").arg(Unescaped(item).trimmed());
      return std::nullopt;
    }
    std::optional<Segment> segment = ParseSpan(times[0], times[1], problem);
    if (!segment) return std::nullopt;
    if (named.size() == 2) segment->name = Unescaped(named[1]);
    list.push_back(*segment);
  }
  return list;
}

namespace {

QString CsvField(const QString& text) {
  if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r') &&
      text.trimmed() == text)
    return text;
  return '"' + QString(text).replace("\"", "\"\"") + '"';
}

// The fields of CSV lines: commas separate, double quotes hold commas, line breaks and doubled
// quotes. One list of fields per record; blank lines give none.
std::vector<QStringList> CsvRecords(const QString& text) {
  std::vector<QStringList> records;
  QStringList fields{QString()};
  bool quoted = false, any = false;
  auto endRecord = [&] {
    if (any || fields.size() > 1 || !fields[0].trimmed().isEmpty()) records.push_back(fields);
    fields = {QString()};
    any = false;
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        fields.back() += c;
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      fields << QString();
    } else if (c == '\n') {
      endRecord();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  endRecord();
  return records;
}

}  // namespace

QString SegmentListCsv(const SegmentList& list) {
  QString text = "start,end,name\n";
  for (const Segment& segment : list)
    text += QString("%1,%2,%3\n")
                .arg(SegmentTimeText(segment.start), SegmentTimeText(segment.end), CsvField(segment.name));
  return text;
}

std::optional<SegmentList> ParseSegmentListCsv(const QString& text, QString& problem) {
  SegmentList list;
  const std::vector<QStringList> records = CsvRecords(QString(text).remove(QChar(0xFEFF)));
  for (size_t line = 0; line < records.size(); ++line) {
    const QStringList& fields = records[line];
    // A first line whose first field is no time is the header.
    if (line == 0 && !ParseTimeText(fields[0])) continue;
    if (fields.size() < 2) {
      problem = QString("Record %1 holds no END (start,end,name).").arg(line + 1);
      return std::nullopt;
    }
    std::optional<Segment> segment = ParseSpan(fields[0], fields[1], problem);
    if (!segment) {
      problem = QString("Record %1: %2").arg(line + 1).arg(problem);
      return std::nullopt;
    }
    segment->name = fields.mid(2).join(',').trimmed();
    list.push_back(*segment);
  }
  return list;
}

QString SegmentDocumentJson(const SegmentDocument& document) {
  QJsonArray segments;
  for (const Segment& segment : document.segments)
    segments.append(QJsonObject{{"start", SegmentTimeText(segment.start)},
                                {"end", SegmentTimeText(segment.end)},
                                {"name", segment.name}});
  const QJsonObject root{{"video", document.video},
                         {"mode", document.mode == SegmentMode::kRemove ? "remove" : "keep"},
                         {"segments", segments}};
  return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

namespace {

// A time in a JSON document: seconds as a number, or a time text.
std::optional<double> JsonTime(const QJsonValue& value) {
  if (value.isDouble() && value.toDouble() >= 0) return value.toDouble();
  if (value.isString()) return ParseTimeText(value.toString());
  return std::nullopt;
}

}  // namespace

std::optional<SegmentDocument> ParseSegmentDocumentJson(const QString& text, QString& problem) {
  QJsonParseError error;
  const QJsonDocument json = QJsonDocument::fromJson(text.toUtf8(), &error);
  if (!json.isObject()) {
    problem = error.error != QJsonParseError::NoError
                  ? "The file is no JSON document: " + error.errorString() + "."
                  : QString("The JSON document is no object.");
    return std::nullopt;
  }
  const QJsonObject root = json.object();
  SegmentDocument document;
  document.video = root["video"].toString();
  const QString mode = root["mode"].toString("keep");
  if (mode != "keep" && mode != "remove") {
    problem = QString("The mode is \"%1\", neither \"keep\" nor \"remove\".").arg(mode);
    return std::nullopt;
  }
  document.mode = mode == "remove" ? SegmentMode::kRemove : SegmentMode::kKeep;
  if (!root["segments"].isArray()) {
    problem = "The JSON document holds no \"segments\" list.";
    return std::nullopt;
  }
  for (const QJsonValue& value : root["segments"].toArray()) {
    const QJsonObject item = value.toObject();
    const std::optional<double> start = JsonTime(item["start"]), end = JsonTime(item["end"]);
    if (!start || !end) {
      problem = QString("Segment %1 has no start and end time.").arg(document.segments.size() + 1);
      return std::nullopt;
    }
    document.segments.push_back({*start, *end, item["name"].toString()});
  }
  return document;
}

namespace {

// "0_03", "1_02_03", "0_03.48": a time that reads well in a file name.
QString NameTime(double seconds) {
  const long long total = Milliseconds(seconds);
  const long long whole = total / 1000;
  const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
  QString text =
      hours > 0 ? QString("%1_%2_%3").arg(hours).arg(minutes, 2, 10, QChar('0')).arg(rest, 2, 10, QChar('0'))
                : QString("%1_%2").arg(minutes).arg(rest, 2, 10, QChar('0'));
  if (const long long hundredths = total % 1000 / 10; hundredths != 0)
    text += QString(".%1").arg(hundredths, 2, 10, QChar('0'));
  return text;
}

// A name as part of a file name: no folder separators, no control characters.
QString NamePart(QString name) {
  for (QChar& c : name)
    if (c == '/' || c.category() == QChar::Other_Control) c = '_';
  return name.trimmed();
}

}  // namespace

QString SegmentFileName(const QString& pattern, const QString& input, int number, const Segment& segment) {
  QString result = pattern;
  if (!pattern.contains('{')) {
    const QFileInfo info(pattern);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    result = pattern.left(pattern.size() - suffix.size()) + "-{n}" +
             (segment.name.isEmpty() ? "" : "-{name}") + "-{start}-{end}" + suffix;
  }
  // Replaced in the file's own part only: a folder may hold braces of its own.
  const qsizetype folderEnd = result.lastIndexOf('/') + 1;
  QString file = result.mid(folderEnd);
  file.replace("{video}", NamePart(QFileInfo(input).completeBaseName()))
      .replace("{n}", QString::number(number))
      .replace("{name}", NamePart(segment.name))
      .replace("{start}", NameTime(segment.start))
      .replace("{end}", NameTime(segment.end));
  return result.left(folderEnd) + file;
}

}  // namespace vintrel::cut

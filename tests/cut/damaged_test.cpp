// Damaged input stays harmless: copies of small clips cut short, with bytes flipped or their
// headers cut, go through the engine in process (so the sanitizer builds watch every read). Each
// cut ends in a checked file or a CutError with one plain line, and leaves no work file behind.
// VINTREL_DAMAGE_SEED sets the seed; the one used is printed.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <iostream>
#include <random>

#include "clips.h"
#include "cut/cut_error.h"
#include "cut/engine.h"

using namespace vintrel::cut;
using namespace cuttest;

namespace {

struct Clip {
  const char* type;
  QStringList options;
};

const Clip kClips[] = {
    {"mp4", {"-c:v", "libx264", "-preset", "veryfast", "-g", "12", "-c:a", "aac"}},
    {"mkv", {"-c:v", "libx265", "-x265-params", "keyint=12:log-level=error", "-c:a", "libopus"}},
    {"mov", {"-c:v", "libx264", "-preset", "ultrafast", "-bf", "0", "-g", "25", "-c:a", "aac"}},
};
constexpr int kCopiesPerClip = 20;

enum class Damage { kTruncated, kFlipped, kHeaderCut };

QByteArray Damaged(QByteArray bytes, Damage damage, std::mt19937& random) {
  std::uniform_real_distribution<double> share(0.05, 0.95);
  const auto at = [&] { return qsizetype(share(random) * double(bytes.size())); };
  if (damage == Damage::kTruncated) return bytes.left(at());
  if (damage == Damage::kHeaderCut)
    return bytes.mid(std::uniform_int_distribution<qsizetype>(1, 4096)(random));
  // Some flips land in the headers (the first few kilobytes), the rest anywhere.
  for (int i = 0, flips = std::uniform_int_distribution<int>(1, 40)(random); i < flips; ++i) {
    const qsizetype where = i % 3 == 0 ? std::uniform_int_distribution<qsizetype>(0, 2047)(random) : at();
    bytes[where] = char(bytes[where] ^ (1 << std::uniform_int_distribution<int>(0, 7)(random)));
  }
  return bytes;
}

unsigned DamageSeed() {
  return qEnvironmentVariableIsSet("VINTREL_DAMAGE_SEED")
             ? qEnvironmentVariable("VINTREL_DAMAGE_SEED").toUInt()
             : std::random_device{}();
}

TEST(DamagedInput, EndsInACheckedFileOrAPlainReason) {
  const unsigned seed = DamageSeed();
  std::cout << "[ seed     ] " << seed << " (VINTREL_DAMAGE_SEED)\n";
  std::mt19937 random(seed);
  QTemporaryDir folder;
  int made = 0, refused = 0;
  for (const Clip& clip : kClips) {
    const QString source = folder.filePath(QString("source.") + clip.type);
    ASSERT_NO_THROW(MakeClip(source, 3, clip.options, 1, "testsrc2=size=160x120:rate=25"));
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (int copy = 0; copy < kCopiesPerClip; ++copy) {
      const Damage damage = Damage(copy % 3);
      const QString input = folder.filePath(QString("damaged%1.%2").arg(copy).arg(clip.type)),
                    output = folder.filePath(QString("made%1.%2").arg(copy).arg(clip.type));
      QFile damaged(input);
      ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
      damaged.write(Damaged(bytes, damage, random));
      damaged.close();
      const double start = std::uniform_int_distribution<int>(0, 20)(random) / 10.0;
      SCOPED_TRACE(
          QString("%1, damage %2, cut from %3").arg(input).arg(int(damage)).arg(start).toStdString());
      try {
        RunCut(CutArguments{.input = input, .output = output, .start = start, .end = start + 1});
        EXPECT_GT(QFile(output).size(), 0);
        ++made;
      } catch (const CutError& error) {
        EXPECT_FALSE(error.message().trimmed().isEmpty());
        EXPECT_FALSE(error.message().contains('\n')) << error.what();
        std::cout << "[ refused  ] " << clip.type << " " << int(damage) << ": " << error.what() << "\n";
        ++refused;
      }
      EXPECT_EQ(HiddenWorkFiles(folder.path()), QStringList());
      QFile::remove(input);
      QFile::remove(output);
    }
  }
  std::cout << "[ figures  ] " << made << " damaged copies cut, " << refused << " refused with a reason\n";
}

}  // namespace

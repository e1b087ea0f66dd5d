#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One line of the flash tool's output that the application recognises, and what it means for
// the window. The tool prints its progress as "\r%s %3u%% (%u/%u)" records, the flash geometry
// once, and a completion line at the end of a write.
struct OutputLine {
  enum class Kind {
    Erase,       // "Erase <n>%": the first half of the bar
    Write,       // "Write <n>%": the second half of the bar
    Geometry,    // contains "Flash geometry:"
    Completion,  // contains "OS upload complete"
  };

  Kind kind = Kind::Erase;
  // The progress bar's value, 0 to 100 in half steps; not used for a geometry line.
  double bar = 0;
  // The percentage shown beside the operation, 0 to 100, or -1 for none.
  int percent = -1;
  // The whole line, trimmed: the geometry line is shown as the tool printed it.
  QString text;

  // The text key of the operation the line starts ("op.erase", "op.write", "op.done"), or an
  // empty string for a geometry line, which starts none.
  QString operationKey() const;
};

// The recognised lines of one chunk of output, in order. Lines end at every line break
// character, the carriage returns of the progress records included. Nothing is carried over
// between chunks: a line split between two chunks is two partial lines, and neither matches.
QList<OutputLine> ParseToolOutput(QStringView text);

// The peer of `rideder FILE` in the editor benchmark: a minimal QsciScintilla window with line
// numbers and the Perl lexer, of the program's size, reading a UTF-8 file as its window does.
#include <qscilexerperl.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "platform/Forms.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  rid::ExitAfterFirstPaintIfAsked();
  if (argc != 2) {
    std::fprintf(stderr, "usage: qsci_window FILE\n");
    return 2;
  }
  QsciScintilla editor;
  QsciLexerPerl lexer;
  editor.setUtf8(true);
  editor.setLexer(&lexer);
  editor.setMarginLineNumbers(0, true);
  editor.setMarginWidth(0, "00000000");
  QFile file(QString::fromLocal8Bit(argv[1]));
  if (!file.open(QIODevice::ReadOnly) || !editor.read(&file)) {
    std::fprintf(stderr, "qsci_window: cannot read %s\n", argv[1]);
    return 1;
  }
  file.close();
  editor.resize(800, 600);
  editor.show();
  return app.exec();
}

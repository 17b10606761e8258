#include "app/EderSave.h"

#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "app/EderPage.h"
#include "editor/RidEderTextBuffer.h"
#include "foundation/JConv.h"
#include "platform/Classes.h"
#include "platform/Locale.h"

namespace rid {

namespace {

// Shift-JIS text written to it is converted block by block to a file's code and put.
class TEncodingStream : public TStream {
 public:
  TEncodingStream(JCodeKind Code, TSjisEncoder::TPut Put, char JisKanjiOut = 'J')
      : FEncoder(Code, std::move(Put), JisKanjiOut) {}
  int32_t Read(void*, int32_t) override { return 0; }  // written only
  int32_t Write(const void* Buffer, int32_t Count) override {
    if (Count <= 0) return 0;
    FEncoder.Convert(std::string_view(static_cast<const char*>(Buffer), size_t(Count)));
    FWritten += Count;
    return Count;
  }
  int64_t Seek(int64_t, uint16_t) override { return FWritten; }
  TSjisEncoder& Encoder() { return FEncoder; }

 private:
  TSjisEncoder FEncoder;
  int64_t FWritten = 0;
};

// Converts the lines, as a save writes them, to Code and puts them (nowhere without Put);
// returns what the code cannot hold of them.
size_t EncodeLines(TRidEderStringList& Lines, JCodeKind Code, TSjisEncoder::TPut Put,
                   char JisKanjiOut = 'J') {
  TEncodingStream encoded(Code, std::move(Put), JisKanjiOut);
  Lines.SaveToStream(&encoded);
  encoded.Encoder().Finish();
  return encoded.Encoder().Unwritable();
}

// The first line holding what the code cannot hold (1-based), 0 when none. A line is counted
// with a break after it, which a lead byte that ends it meets in the file.
int32_t FirstUnwritableLine(const TRidEderStringList& Lines, JCodeKind Code) {
  for (int32_t i = 0; i < Lines.GetCount(); ++i) {
    TSjisEncoder counter(Code, nullptr);
    counter.Convert(Lines.GetView(i));
    if (i + 1 < Lines.GetCount() || Lines.GetFinalLineBreak()) counter.Convert("\n");
    counter.Finish();
    if (counter.Unwritable() > 0) return i + 1;
  }
  return 0;
}

QString FileText(const std::string& Name) { return QFile::decodeName(Name.c_str()); }

// The embedded sample gets a name; false when none was given.
bool AskFileName(QMainWindow* Window, std::string& FileName) {
  const QString name = QFileDialog::getSaveFileName(Window, "Save as", "sample.cgi", {}, nullptr,
                                                    QFileDialog::DontUseNativeDialog);
  if (name.isEmpty()) return false;
  FileName = QFile::encodeName(name).toStdString();
  return true;
}

bool ConfirmLosses(QMainWindow* Window, const std::string& FileName, JCodeKind Code,
                   const TSavePlan& Plan, size_t LostOnLoad) {
  QString text;
  if (Plan.Unwritable > 0)
    text = QString(
               "%1 character(s) cannot be written in %2; they are saved as \"?\" or \"\u30fb\". "
               "The first is on line %3.")
               .arg(Plan.Unwritable)
               .arg(CodeName(Code))
               .arg(Plan.FirstLine);
  if (LostOnLoad > 0)
    text += QString("%1%2 character(s) were already replaced by \"?\" when the file was read.")
                .arg(text.isEmpty() ? "" : "\n")
                .arg(LostOnLoad);
  QMessageBox box(QMessageBox::Warning, "Save",
                  text + "\n\nSave " + FileText(FileName) + " anyway?",
                  QMessageBox::Save | QMessageBox::Cancel, Window);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Save;
}

void Say(QMainWindow* Window, const QString& Text) { Window->statusBar()->showMessage(Text); }

}  // namespace

const char* CodeName(JCodeKind Code) {
  switch (Code) {
    case jcJisB:
    case jcJisAt:
      return "JIS";
    case jcEuc:
      return "EUC-JP";
    case jcUtf8:
      return "UTF-8";
    case jcUtf8Bom:
      return "UTF-8 with a byte-order mark";
    case jcUtf16LE:
      return "UTF-16LE";
    case jcUtf16BE:
      return "UTF-16BE";
    default:
      return "Shift-JIS";
  }
}

TSavePlan PlanSave(TRidEderStringList& Lines, JCodeKind Code) {
  TSavePlan plan;
  if (!TSjisEncoder::Converts(Code)) return plan;  // Shift-JIS holds all the text holds
  plan.Unwritable = EncodeLines(Lines, Code, nullptr);
  if (plan.Unwritable > 0) plan.FirstLine = FirstUnwritableLine(Lines, Code);
  return plan;
}

void SaveInCode(TRidEderStringList& Lines, JCodeKind Code, const std::string& FileName,
                char JisKanjiOut) {
  SaveToFileAtomic(FileName, [&](TStream& Out) {
    EncodeLines(
        Lines, Code, [&Out](std::string_view Bytes) { Out.WriteBuffer(Bytes); }, JisKanjiOut);
  });
}

bool SavePage(QMainWindow* Window, TEderPage& Page) {
  std::string fileName = Page.FileName;
  if (fileName.empty() && !AskFileName(Window, fileName)) return false;
  TRidEderStringList& lines = *Page.Eder->GetLines();
  const TSavePlan plan = PlanSave(lines, Page.Code);
  if ((plan.Unwritable > 0 || Page.Substituted > 0) &&
      !ConfirmLosses(Window, fileName, Page.Code, plan, Page.Substituted)) {
    Say(Window, "Not saved");
    return false;
  }
  try {
    SaveInCode(lines, Page.Code, fileName, Page.JisKanjiOut);
  } catch (const std::exception& e) {
    const QString why = "Not saved: " + QString::fromLocal8Bit(e.what());  // names as spelt
    Say(Window, why);
    QMessageBox::critical(Window, "Save", why);
    return false;
  }
  Page.FileName = fileName;
  Page.Substituted = 0;  // the file now holds what is shown
  Page.Eder->SetModified(false);
  Say(Window, "Saved " + FileText(fileName));
  return true;
}

bool MayClosePage(QMainWindow* Window, TEderPage& Page) {
  if (!Page.Eder->GetModified()) return true;
  const QString name = Page.FileName.empty() ? QString("The sample") : FileText(Page.FileName);
  const auto answer = QMessageBox::question(
      Window, "Close", name + " has changed. Save it?",
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
  if (answer == QMessageBox::Discard) return true;
  return answer == QMessageBox::Save && SavePage(Window, Page);
}

}  // namespace rid

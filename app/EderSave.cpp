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

TSavePlan PlanSave(const TRidEderStringList& Lines, JCodeKind Code, char JisKanjiOut) {
  TSavePlan plan;
  plan.Bytes = SjisToBytes(Lines.SaveToBytes(), Code, &plan.Unwritable, JisKanjiOut);
  for (int32_t i = 0; plan.Unwritable > 0 && i < Lines.GetCount(); ++i) {
    size_t n = 0;
    SjisToBytes(Lines.GetView(i), Code, &n);
    if (n > 0) {
      plan.FirstLine = i + 1;
      break;
    }
  }
  return plan;
}

bool SavePage(QMainWindow* Window, TEderPage& Page) {
  std::string fileName = Page.FileName;
  if (fileName.empty() && !AskFileName(Window, fileName)) return false;
  const TSavePlan plan = PlanSave(*Page.Eder->GetLines(), Page.Code, Page.JisKanjiOut);
  if ((plan.Unwritable > 0 || Page.Substituted > 0) &&
      !ConfirmLosses(Window, fileName, Page.Code, plan, Page.Substituted)) {
    Say(Window, "Not saved");
    return false;
  }
  try {
    SaveBytesToFileAtomic(fileName, plan.Bytes);
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

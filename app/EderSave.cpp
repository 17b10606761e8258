#include "app/EderSave.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <optional>

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

// A question before a save; Cancel is the default. True when the answer is to save.
bool AskToSave(QMainWindow* Window, const QString& Title, const QString& Text) {
  QMessageBox box(QMessageBox::Warning, Title, Text, QMessageBox::Save | QMessageBox::Cancel,
                  Window);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Save;
}

bool ConfirmLosses(QMainWindow* Window, const std::string& FileName, const TSavePlan& Plan,
                   const TEderPage& Page) {
  QString text;
  if (Plan.Unwritable > 0)
    text = QString(
               "%1 character(s) cannot be written in %2; they are saved as \"?\" or \"\u30fb\". "
               "The first is on line %3.")
               .arg(Plan.Unwritable)
               .arg(CodeName(Page.Code))
               .arg(Plan.FirstLine);
  if (Page.Substituted > 0) {
    text += QString("%1%2 character(s) were already replaced by \"?\" when the file was read.")
                .arg(text.isEmpty() ? "" : "\n")
                .arg(Page.Substituted);
    if (Page.FirstSubstitutedLine > 0)
      text +=
          QString(" The first was on line %1 of the file as read.").arg(Page.FirstSubstitutedLine);
  }
  return AskToSave(Window, "Save", text + "\n\nSave " + FileText(FileName) + " anyway?");
}

// What became of a file since a person last saw it (Then: as it was read or saved, or as a
// question told of it), seen as it is now.
enum class TDiskChange { None, Changed, Replaced, Deleted };

TDiskChange DiskChange(const TFileState& Then, const TFileState& Now) {
  if (Now.IsLink && !Then.IsLink) return TDiskChange::Replaced;  // a link where a file was
  if (!Now.Exists) return Then.Exists ? TDiskChange::Deleted : TDiskChange::None;
  if (!Then.Exists || Now.IsLink != Then.IsLink) return TDiskChange::Replaced;
  switch (CompareFileStates(Then, Now)) {
    case TFileChange::Replaced:
      return TDiskChange::Replaced;
    case TFileChange::Changed:
      return TDiskChange::Changed;
    case TFileChange::None:
      break;
  }
  return TDiskChange::None;
}

// A user or group as people know it: its name, else its number.
QString UserName(uint32_t Id) {
  const passwd* user = ::getpwuid(Id);
  return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(Id);
}
QString GroupName(uint32_t Id) {
  const group* g = ::getgrgid(Id);
  return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(Id);
}

// A kind of file as people call it.
QString KindName(uint32_t Type) {
  switch (Type) {
    case S_IFREG:
      return "a regular file";
    case S_IFDIR:
      return "a folder";
    case S_IFIFO:
      return "a pipe (FIFO)";
    case S_IFCHR:
    case S_IFBLK:
      return "a device";
    case S_IFSOCK:
      return "a socket";
    default:
      return "no regular file";
  }
}

// What the name of a replaced file leads to now (Now), told against the file read (Then): a
// link and where to, another file (where a link read now leads to, named), or a file of another
// kind or owner, which may be another file that got the same inode number or the same file
// given away.
QString WhatIsThereNow(const QString& Name, const TFileState& Then, const TFileState& Now) {
  if (Now.IsLink && !Then.IsLink)
    return "the name now is a link to " + QFileInfo(Name).symLinkTarget();
  if (!Then.Exists) return "the name now leads to another file";
  QStringList differs;
  if (Now.Type != Then.Type) differs << "is " + KindName(Now.Type);
  if (Now.Owner != Then.Owner || Now.Group != Then.Group)
    differs << "belongs to " + UserName(Now.Owner) + ":" + GroupName(Now.Group) + ", not to " +
                   UserName(Then.Owner) + ":" + GroupName(Then.Group);
  const QString which = differs.isEmpty() ? QString() : ", which " + differs.join(" and ");
  if (Now.Device != Then.Device || Now.Inode != Then.Inode) {
    if (Then.IsLink && Now.IsLink)
      return "the link now leads to another file, " + QFileInfo(Name).symLinkTarget() + which;
    return "the name now leads to another file" + which;
  }
  if (differs.isEmpty()) return "the name is no longer a link";  // to the file it led to
  return "the name now leads to a file that " + differs.join(" and ");
}

// What was done to a file is not overwritten without a word. The question says what happened,
// not who did it: another program, another user, or this program's own other tab on the file.
// Again: a question before this one was open while it happened.
bool ConfirmDiskChange(QMainWindow* Window, const std::string& FileName, const TFileState& Then,
                       const TFileState& Now, bool Again) {
  const QString name = FileText(FileName);
  const QString since =
      Again ? "while the question before this one was open" : "after it was read or last saved";
  switch (DiskChange(Then, Now)) {
    case TDiskChange::None:
      return true;
    case TDiskChange::Changed:
      return AskToSave(Window, "Changed on disk",
                       name + " was changed on disk " + since +
                           ". Saving replaces the text on disk with the text shown.\n\nSave " +
                           name + " anyway?");
    case TDiskChange::Replaced:
      return AskToSave(Window, "Replaced on disk",
                       name + " was replaced on disk " + since + ": " +
                           WhatIsThereNow(name, Then, Now) +
                           ". Saving writes the text shown there.\n\nSave " + name + " anyway?");
    case TDiskChange::Deleted:
      return AskToSave(Window, "Deleted on disk",
                       name + " was deleted " + since + ".\n\nSave " + name + " again?");
  }
  return false;
}

// The questions a save asks before it writes. The file is looked at again after each of them,
// and a change made while one was open is asked about in turn: what a person agreed to is what
// is written.
class TSaveQuestions {
 public:
  TSaveQuestions(QMainWindow* AWindow, const std::string& AFileName, const TEderPage& APage)
      : FWindow(AWindow), FFileName(AFileName), FPage(APage) {
    FPlan = PlanSave(*APage.Eder->GetLines(), APage.Code);
    FLossesAgreed = FPlan.Unwritable == 0 && APage.Substituted == 0;
    // A name just given was asked about in the file dialog, were it taken.
    FSeen = APage.FileName.empty() ? FileStateOf(AFileName) : APage.Disk;
  }

  // The file as it is once every question was answered Save (or none was needed), or nothing
  // when one was cancelled.
  std::optional<TFileState> Settle() {
    for (;; FAsked = true) {
      const TFileState now = FileStateOf(FFileName);
      if (DiskChange(FSeen, now) != TDiskChange::None) {
        if (!ConfirmDiskChange(FWindow, FFileName, FSeen, now, FAsked)) return std::nullopt;
        FSeen = now;
      } else if (!FLossesAgreed) {
        if (!ConfirmLosses(FWindow, FFileName, FPlan, FPage)) return std::nullopt;
        FLossesAgreed = true;
      } else {
        return now;
      }
    }
  }

  // Whether a change since Settle can be seen, for Settle to ask about.
  bool SeesChange() const { return DiskChange(FSeen, FileStateOf(FFileName)) != TDiskChange::None; }

 private:
  QMainWindow* FWindow;
  const std::string& FFileName;
  const TEderPage& FPage;
  TSavePlan FPlan;
  bool FLossesAgreed = true;
  TFileState FSeen;  // the file as a person last saw it
  bool FAsked = false;
};

void Say(QMainWindow* Window, const QString& Text) { Window->statusBar()->showMessage(Text); }

// A save that failed: the status line and a message say why. Returns false.
bool SayNotSaved(QMainWindow* Window, const std::exception& Error) {
  const QString why = "Not saved: " + QString::fromLocal8Bit(Error.what());  // names as spelt
  Say(Window, why);
  QMessageBox::critical(Window, "Save", why);
  return false;
}

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

TSavedFile SaveInCode(TRidEderStringList& Lines, JCodeKind Code, const std::string& FileName,
                      char JisKanjiOut, const TFileState* Former, const TFileState* Checked) {
  return SaveToFileAtomic(
      FileName,
      [&](TStream& Out) {
        EncodeLines(
            Lines, Code, [&Out](std::string_view Bytes) { Out.WriteBuffer(Bytes); }, JisKanjiOut);
      },
      Former, Checked);
}

bool SavePage(QMainWindow* Window, TEderPage& Page) {
  std::string fileName = Page.FileName;
  if (fileName.empty() && !AskFileName(Window, fileName)) return false;
  TRidEderStringList& lines = *Page.Eder->GetLines();
  // A file deleted meanwhile comes back with the permissions it had.
  const std::optional<TFileState> former =
      Page.Disk.Exists ? std::optional<TFileState>(Page.Disk) : std::nullopt;
  TSaveQuestions questions(Window, fileName, Page);
  TSavedFile saved;
  for (;;) {
    const std::optional<TFileState> checked = questions.Settle();
    if (!checked) {
      Say(Window, "Not saved");
      return false;
    }
    try {
      saved = SaveInCode(lines, Page.Code, fileName, Page.JisKanjiOut, former ? &*former : nullptr,
                         &*checked);
      break;
    } catch (const EFileChangedError& e) {
      // Changed between the last look and the writing: asked about, unless no look can tell.
      if (!questions.SeesChange()) return SayNotSaved(Window, e);
    } catch (const EOldTextPutBackError& e) {
      if (!Page.FileName.empty()) {  // its old text again: no change on disk
        TFileAttributes attributes = std::move(Page.Disk.Attributes);  // and what it carried
        Page.Disk = e.State;
        Page.Disk.Attributes = std::move(attributes);
      }
      return SayNotSaved(Window, e);
    } catch (const std::exception& e) {
      return SayNotSaved(Window, e);
    }
  }
  Page.Disk = saved;
  Page.FileName = fileName;
  Page.Substituted = 0;  // the file now holds what is shown
  Page.FirstSubstitutedLine = 0;
  Page.Eder->SetModified(false);
  const std::string dropped = saved.DroppedText();
  Say(Window, "Saved " + FileText(fileName) +
                  (dropped.empty() ? QString() : "; " + QString::fromStdString(dropped)));
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

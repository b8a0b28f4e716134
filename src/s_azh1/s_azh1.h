// Unit s_azh1: the install dialog and the installation run behind its
// Install button -- directory creation, file copying across disks, the
// expanding copy, the database engine's registry settings and the program
// group.
#pragma once

#include <cstdint>
#include <string>

#include "dde.h"
#include "toolkit.h"

class TF_azh1 : public TForm {
 public:
  explicit TF_azh1(TComponent* Owner);
  TPanel* Panel1;    // button strip
  TBitBtn* BitBtn1;  // Install
  TBitBtn* BitBtn2;  // Exit
  TPanel* Panel2;    // progress panel
  TProgressBar* ProgressBar1;
  TLabel* Label1;    // source of the file being copied
  TPanel* Panel3;    // drive panel
  TDriveComboBox* DriveComboBox1;
  TDdeClientConv DdeClientConv1;
  TLabel* Label2;    // its destination
  TLabel* Label3;
  // The installation run.
  void BitBtn1Click(TObject* Sender);
  // Exit: the application ends.
  void BitBtn2Click(TObject* Sender);
};

// ------------------------------------------------------- process-wide state

extern TF_azh1* F_azh1;
// The destination drive, upper case; set by each run.
extern char TargetDrive;
// 1 while a run has not failed; 0 once a failed copy was ignored.
extern int32_t InstallOk;

// ------------------------------------------------------- steps of the run

// Shows `text` (caption "提示", OK) and returns the dialog to drive
// selection.
void ShowFailure(const std::string& text);
// Creates every [DIR] directory on the destination drive, with its parents.
// Reports nothing.
void CreateDirectories();
// Walks the [DISK] lines: copies files, asks for further disks. False when
// the user abandoned it (ShowFailure has then been called).
bool CopyDiskFiles();
// Copies one file, expanding it when it is compressed. True when the whole
// content was written.
bool ExpandCopy(const char* Source, const char* Dest);
// Records the database engine's paths, libraries and language driver.
void WriteEngineSettings();
// Asks Program Manager for the product's group and item. Never fails.
void CreateProgramGroup();

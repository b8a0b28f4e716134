// Unit s_tsh1: the disk prompt dialog, asking for the next installation disk
// and the path it is read from.
#pragma once

#include "toolkit.h"

class TF_tsh1 : public TForm {
 public:
  explicit TF_tsh1(TComponent* Owner);
  TEdit* Edit1;
  TLabel* Label1;
  TPanel* Panel1;
  TBitBtn* BitBtn1;
  TBitBtn* BitBtn2;
  TLabel* Label2;
  TLabel* Label3;  // the disk number
  TLabel* Label4;
  void FormShow(TObject* Sender);
};

extern TF_tsh1* F_tsh1;

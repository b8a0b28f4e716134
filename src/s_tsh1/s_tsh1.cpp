#include "s_tsh1.h"

TF_tsh1* F_tsh1 = nullptr;

TF_tsh1::TF_tsh1(TComponent* Owner) : TForm(Owner) {
  LoadLayout("F_tsh1", {{"FormShow", [this](TObject* Sender) { FormShow(Sender); }}});
  Edit1 = Find<TEdit>("Edit1");
  Label1 = Find<TLabel>("Label1");
  Panel1 = Find<TPanel>("Panel1");
  BitBtn1 = Find<TBitBtn>("BitBtn1");
  BitBtn2 = Find<TBitBtn>("BitBtn2");
  Label2 = Find<TLabel>("Label2");
  Label3 = Find<TLabel>("Label3");
  Label4 = Find<TLabel>("Label4");
}

// Each time the dialog is about to appear, the path field takes the focus.
void TF_tsh1::FormShow(TObject* /*Sender*/) { Edit1->SetFocus(); }

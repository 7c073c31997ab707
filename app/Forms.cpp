#include "app/Forms.h"

#include "app/addgoods.h"
#include "app/child_model.h"
#include "app/goods.h"
#include "app/importlog.h"
#include "app/login.h"
#include "app/main.h"
#include "app/sell.h"
#include "app/sellManager.h"
#include "app/Resources.h"

TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TForm3* Form3 = nullptr;
TForm4* Form4 = nullptr;
TForm5* Form5 = nullptr;
TForm6* Form6 = nullptr;
TForm7* Form7 = nullptr;
TForm8* Form8 = nullptr;

void CreateForms()
{
    InitAppResources();
    try {
        Form1 = new TForm1;
        Form2 = new TForm2;
        Form3 = new TForm3;  // the base itself: never shown, never connected
        Form3->setObjectName("Form3");
        Form4 = new TForm4;
        Form5 = new TForm5;
        Form6 = new TForm6;
        Form7 = new TForm7;
        Form8 = new TForm8;
    } catch (...) {
        DestroyForms();
        throw;
    }
}

template <typename T> static void Destroy(T*& form)
{
    delete form;
    form = nullptr;
}

void DestroyForms()
{
    // Hosted child windows belong to the main window's panel: free them first.
    Destroy(Form8);
    Destroy(Form7);
    Destroy(Form6);
    Destroy(Form5);
    Destroy(Form4);
    Destroy(Form3);
    Destroy(Form2);
    Destroy(Form1);
}

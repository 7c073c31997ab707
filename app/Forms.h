// The eight windows, created once at start-up in this order and reached
// through these process-wide references.
#pragma once

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;

extern TForm1* Form1;
extern TForm2* Form2;
extern TForm3* Form3;
extern TForm4* Form4;
extern TForm5* Form5;
extern TForm6* Form6;
extern TForm7* Form7;
extern TForm8* Form8;

// Creates all eight windows in order; a store error (a missing database)
// propagates so start-up can show it and end before the login window.
void CreateForms();
// Deletes them in reverse order (tests create a fresh set per case).
void DestroyForms();

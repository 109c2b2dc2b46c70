// The compass dial of the main window.
#include "ui/tform1.h"

void TForm1::cadran()
{
}

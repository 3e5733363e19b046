#pragma once

#include <QString>

// The static credits text of the program, shown on the credits page.
QString ColloquaCredits();

#pragma once
// Small shared helpers: the integer test of the command line, folder
// creation and checks, and a few numeric routines.
#include <string>

// True when the text is a whole base-10 number: a sign or digit first and
// nothing after the number (no blanks either). Values beyond a long count.
bool isInteger(std::string const& text);

// Creates the folder (mode 0755 less the umask) when nothing exists at path.
// Failures are silent: they show up when a file in it cannot be opened.
void makeDir(char const* path);

// True when the folder can be opened for reading.
bool checkDirExist(char const* path);

// Natural logarithm of the gamma function.
double LnGamma(double x);

// Regularised lower incomplete gamma function P(alpha, x); 0 for x = 0,
// -1 for x < 0 or alpha <= 0.
double IncompleteGamma(double x, double alpha);

// Sorts a[left] .. a[right] ascending in place.
void quicksort(int left, int right, double* a);

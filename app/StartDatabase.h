#pragma once
// Which database the program reads: the optional start argument (a file, or a folder holding
// tabl1.mdb), or tabl1.mdb in the current directory when there is none.
#include <string>

// The start argument as given on the command line (raw bytes); empty: none.
extern std::string DatabaseArgument;

// The connection string for the load and every search, built afresh at each call.
std::string databaseConnectionString();

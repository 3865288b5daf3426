#pragma once

#include <QString>

// Where the program keeps its database. An installed program cannot write
// beside its executable, so the database it ships is copied once into the
// user's own data folder and used from there. A Data.mdb beside the
// executable still wins, so a copy run from its build or a portable folder
// keeps its data with it.
namespace tombolix::data {

struct DataLocationInputs
{
    QString requested; // the path given on the command line; empty when none was
    QString programFolder; // the executable's folder
    QString userFolder; // the user's own data folder for the program
    QString shippedDatabase; // the empty database installed with the program
};

struct DataLocation
{
    // The database to use. On failure the place it should have been: every
    // routine then fails there as for a missing file.
    QString path;
    bool ready = false;
};

// In this order: the requested path, as given (even when missing: the
// operator named it); Data.mdb in the program folder when there is one;
// Data.mdb in the user folder, copied there from the shipped database when
// the user folder has none. A copy that cannot be made leaves nothing
// behind, neither a partial file nor a folder made for it. The program never
// makes a database of its own.
DataLocation ChooseDataLocation(const DataLocationInputs &inputs);

// The inputs of this run: the program's folder, the user's data folder as
// the platform names it, and the database installed beside the program
// (share/tombolix/Data.mdb one level above its folder).
DataLocationInputs DataLocationInputsOfThisRun(const QString &requested);

// Chooses the database of this run and makes it the one every routine opens.
DataLocation UseDataLocation(const QString &requested);

} // namespace tombolix::data

#pragma once
// Photoshop's two names for an action identifier: the four-character code and the string ID
// ("document" is 'Dcmn'). A string of exactly four characters is a code and maps to itself; the
// string IDs of a small table of known identifiers map to their codes; any other string ID gets
// a run-time ID derived from its text, so the same text gets the same ID in every run. Run-time
// IDs have a zero high byte, so they never look like a four-character code.

#include "HostInterface.h"

#include <map>
#include <mutex>
#include <string>

class StringIDTable
{
public:
    StringIDTable();

    DescriptorTypeID ToTypeID(const std::string& stringID);
    // False for an ID that is neither a code nor one handed out by ToTypeID.
    bool ToStringID(DescriptorTypeID typeID, std::string& stringID) const;
    // The string ID when there is one, otherwise the code as FormatCode shows it.
    std::string Describe(DescriptorTypeID typeID) const;

private:
    mutable std::mutex mMutex;
    std::map<std::string, DescriptorTypeID> mToTypeID;
    std::map<DescriptorTypeID, std::string> mToStringID;
};

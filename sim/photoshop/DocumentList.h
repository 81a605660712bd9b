#pragma once
// Photoshop's open documents as the stand-in keeps them, and the answers of the action system's
// Get about them and about the application.
//
// Documents are numbered by their position in the list (open order, from 1) and identified by
// their 'DocI', unique for the run (1001, 1002, ...: never reused). The active document is the
// one most recently opened, made or activated; after a close, the last one of the list.
//
// Get takes references of the forms Photoshop answers for these objects: an optional property
// item (form 'Prpr', the key) followed by the object, a document (class 'Dcmn') as the target
// ('Ordn'/'Trgt'), by index ('indx') or by ID ('Idnt'), or the application (class 'capp',
// 'Ordn'/'Trgt'). With a property the result holds that key alone; without one, the whole object.
//   document: 'DocI' (long), 'Ttl ' (TEXT), 'ItmI' (long, its index), 'FilR' (alias; only when
//             the document has a file)
//   application: 'NmbD' (long, the number of open documents), 'Nm  ' (TEXT)
// Errors: a document when none is open, an index or ID that names none, a property the object
// does not have: kActionNoSuchObject; 'FilR' of an untitled document: kActionKeyMissing; an
// empty or unreadable reference: kActionParamError.

#include "ActionModel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SimDocument
{
    std::uint32_t mID = 0;
    std::string mTitle;
    std::string mPath; // full path, UTF-8; empty while the document is untitled
    bool mStaleAlias = false;
    std::vector<std::string> mFonts;         // the PostScript names the document uses
    std::vector<std::string> mMissingAtOpen; // not installed when it was opened or made
    std::vector<std::string> mReplaced;      // of those, the ones "replaceSubstitutes" replaced
    std::vector<std::uint8_t> mContent;      // an untitled document's bytes, written by its first save
    bool mXMPReserialised = false;           // an ExtendScript ran while it was active
};

class DocumentList
{
public:
    // Makes the 'FilR' alias record of a document that has a path.
    using AliasMaker = std::function<std::vector<std::uint8_t>(const SimDocument& document)>;

    explicit DocumentList(AliasMaker aliasMaker);

    // Gives the document the next ID, appends it and makes it active.
    SimDocument& Add(SimDocument document);
    bool Remove(std::uint32_t id);
    bool Activate(std::uint32_t id);

    SimDocument* Active() const;
    SimDocument* FindByID(std::uint32_t id) const;
    // A document by its ID (decimal digits), its path or its title, in that order.
    SimDocument* Find(const std::string& what) const;
    // 1-based position, 0 when the ID is not open.
    std::size_t IndexOf(std::uint32_t id) const;
    const std::vector<std::unique_ptr<SimDocument>>& Documents() const { return mDocuments; }

    // Answers Get; why says what was wrong when the result is an error.
    OSErr Get(const ActionReferenceData& reference, ActionDescriptorData& result, std::string& why) const;

    // The document as an object descriptor (the keys listed above).
    ActionDescriptorData DescribeDocument(const SimDocument& document) const;
    ActionValue Alias(const SimDocument& document) const;

private:
    AliasMaker mAliasMaker;
    std::vector<std::unique_ptr<SimDocument>> mDocuments;
    std::uint32_t mActiveID = 0;
    std::uint32_t mNextID = 1001;
};

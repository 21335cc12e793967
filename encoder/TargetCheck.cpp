#include "encoder/TargetCheck.h"

#include "encoder/ToolError.h"

#include "base/FileIdentity.h"
#include "base/WriteProtection.h"

namespace av {

void CheckTargetMayBeReplaced(const std::string& source, const std::string& target)
{
    if (base::IsSameFile(source, target))
        throw ToolError("The ringtone cannot replace the file it is cut from.");
    // Renaming over a file ignores the file's own mode, so the protection that the user
    // gave it is kept here.
    if (base::IsWriteProtected(target))
        throw ToolError("The file " + Quoted(target) + " is write-protected.");
}

}  // namespace av

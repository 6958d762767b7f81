#include "registry/FontMappingWriter.h"

#include "core/SetupContext.h"
#include "registry/FontMappingTables.h"
#include "framework/RegistryKey.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

#include <string>

namespace
{
// Value names: words and decimal numbers, one blank between them.
std::string Numbered(const char* word, size_t n, const char* suffix = "")
{
    return std::string(word) + " " + std::to_string(n) + suffix;
}

// The values of an advanced typeface after its signatures, in the order the
// application expects to find them listed.
void WriteAdvancedTables(CRegistryKey& key, const FontAdvancedTables& tables)
{
    key.SetDWORD("Advanced Mapping", 1u);
    if (tables.zoneCount)
    {
        key.SetDWORD("Zone Count", static_cast<DWORD>(tables.zoneCount));
        for (size_t z = 0; z < tables.zoneCount; ++z)
        {
            key.SetDWORD(Numbered("Zone", z + 1, " First").c_str(), tables.zones[z].first);
            key.SetDWORD(Numbered("Zone", z + 1, " Last").c_str(), tables.zones[z].last);
            key.SetDWORD(Numbered("Zone", z + 1, " Offset").c_str(), tables.zones[z].offset);
        }
    }
    if (tables.multimapEntries)
    {
        key.SetDWORD("Multimap Count", tables.multimapCount);
        for (size_t m = 0; m < tables.multimapEntries; ++m)
        {
            const FontMultimapEntry& entry = tables.multimap[m];
            const std::string prefix = Numbered("Multimap", m + 1);
            key.SetDWORD((prefix + " From").c_str(), entry.from);
            for (int c = 0; c < entry.CharCount(); ++c)
                key.SetDWORD(Numbered((prefix + " CH").c_str(), c + 1).c_str(), DWORD{entry.chars[c]});
        }
    }
    key.SetDWORD("Mapping Count", static_cast<DWORD>(tables.mappingCount));
    for (size_t m = 0; m < tables.mappingCount; ++m)
        key.SetDWORD(Numbered("Mapping", m + 1).c_str(), tables.mappings[m]);
}
} // namespace

bool WriteFontMappings(CSetupContext& context)
{
    context.Progress().SetStatus(IDS_STATUS_CHARACTER_MAPS);
    // The tables as they are now (or their absence) are kept for an undo.
    std::string root = FONT_MAPPING_KEY;
    root.pop_back();
    if (!context.Journal().SaveRegistryKey(root))
        return ShowJournalFailure(context);

    // One wrapper for all typefaces: each Create closes the previous key. No
    // result is examined; without write access to HKEY_LOCAL_MACHINE nothing
    // is written and the step still succeeds.
    CRegistryKey key;
    for (size_t f = 0; f < FONT_TYPEFACE_COUNT; ++f)
    {
        const FontTypeface& face = FONT_TYPEFACES[f];
        key.Create(HKEY_LOCAL_MACHINE, (std::string(FONT_MAPPING_KEY) + face.name).c_str());
        // An advanced typeface's tables replace an earlier installation's
        // whole: a longer old table would otherwise leave entries behind.
        if (face.advanced)
            key.DeleteContents();
        key.SetBinaryText("USB Signature", FONT_USB_SIGNATURE);
        key.SetDWORD("Custom Signature", face.customSignature);
        if (face.advanced)
            WriteAdvancedTables(key, *face.advanced);
    }
    context.Events().RecordWritten(FONT_MAPPING_KEY, "(" + std::to_string(FONT_TYPEFACE_COUNT) + " typefaces)", "");
    return true;
}

// Bringing text from outside into the model: the clipboard as figure text or as a path that becomes a reference,
// a file added as a new referenced unit, and an item replaced by a file or by the clipboard.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/figure_text.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "platform/window.h"

namespace kz::view {

namespace fnd = kz::foundation;
namespace plat = kz::platform;

namespace {

constexpr int kPath = fnd::kPathBufferSize;
constexpr std::size_t kClipboardLimit = 100000000;
constexpr int kLongestClipName = 509;

// 29 empty columns between the kind word and the name column.
const std::string kBlankColumns(29, ',');

bool begins_with(const char* text, const char* prefix) {
    return fnd::compare_prefix_nocase(text, prefix, static_cast<int>(std::strlen(prefix))) == 0;
}

// A name that pastes as a reference: an address, a network path, a drive path or an absolute POSIX path.
bool names_a_file(const char* text) {
    return begins_with(text, "http:") || begins_with(text, "\\\\") || (text[0] && text[1] == ':' && text[2] == '\\') ||
           fnd::is_posix_absolute(text);
}

// A part line with only its kind, its name and (for a reference) the unit's path, read by the interpreter.
std::string template_line(const char* kind, const std::string& name, const char* path) {
    fnd::EString line;
    line.AppendParts(kind, kBlankColumns.c_str());
    kz::scene::append_text_column(line, name.c_str());
    line.Append(",,");
    if (path) line.AppendParts("R;;\"", path, "\"");
    return line.text();
}

// The first field of a text: up to a TAB, a comma or the line's end.
std::string first_field(const char* text) { return std::string(text, std::strcspn(text, "\t,\r\n")); }

}  // namespace

bool XView::GetClipboardText(std::string* text, int wrap) {
    std::optional<std::string> data = plat::get_clipboard_data(plat::kClipboardText);
    if (!data) return false;
    std::size_t length = std::min({data->find('\0'), data->size(), kClipboardLimit});
    std::size_t start = 0;
    while (start < length && ((*data)[start] == '\r' || (*data)[start] == '\n')) ++start;
    std::string body = data->substr(start, length - start);
    *text = wrap == 1 ? "{\r\n" + body + "\r\n}" : body;
    return true;
}

int XView::ClipboardPasteKind() {
    std::string text;
    if (!GetClipboardText(&text, 0)) return kPasteNothing;
    // The first line that says what the text is decides.
    for (const std::string& line : fnd::nonempty_lines(text)) {
        const char* l = line.c_str();
        if (begins_with(l, "!trunk")) return kPasteBangRecords;
        if (begins_with(l, "trunk") || begins_with(l, "ProjectSet") || names_a_file(l)) return kPasteFigureText;
    }
    return kPasteNothing;
}

int XView::PasteFromClipboard() {
    switch (ClipboardPasteKind()) {
    case kPasteBangRecords: PasteBangRecords(nullptr); break;
    case kPasteFigureText: PasteFigureText(); break;
    default: break;
    }
    return 1;
}

int XView::PasteFigureText() {
    std::string text;
    if (!GetClipboardText(&text, 0)) return 1;
    if (names_a_file(text.c_str())) {
        const std::string name = first_field(text.c_str());
        if (!name.empty() && name.size() <= static_cast<std::size_t>(kLongestClipName)) {
            // A POSIX name stays as written: the unit's reference resolves it, and a save writes it back the same.
            text = template_line("refer", "ReferF clip", name.c_str()) + "\r\n";
        }
    }
    if (begins_with(text.c_str(), "ProjectSet") && text.size() > 11) {
        const std::string path = first_field(text.c_str() + 11);
        if (!path.empty() && path.size() <= static_cast<std::size_t>(kLongestClipName)) {
            char folder[kPath] = {}, file[kPath] = {};
            fnd::split_folder_and_file(path.c_str(), folder, file);
            document.data_folder = fnd::set_heap_string(document.data_folder, folder, nullptr, -1);
            document.data_file_name = fnd::set_heap_string(document.data_file_name, file, nullptr, -1);
            if (XTrunk* root = TrunkAt(0)) root->id = 1;
        }
    }
    PushDataFolder();
    document.notreal_mark = 0;
    TruncateReferenceStack(1);
    if (!CurrentTrunk()) document.current_trunk_index = 0;
    XTrunk* current = CurrentTrunk();
    PushReferenceLevel(current, "");
    ApplyFigureLine("{", 0);
    std::string bytes = text;
    apply_figure_bytes(&bytes, "(clipboard)");
    ApplyFigureLine("}", 0);
    PopReferenceLevel("");
    ExpandReference(current, 0, 1);
    RemoveNotRealTrunks();
    document.notreal_mark = 0;
    PopDataFolder();
    return 1;
}

int XView::PasteClipRef() {
    document.current_command_block = -1;
    PushDataFolder();
    TruncateReferenceStack(1);
    ApplyFigureLine(template_line("trunk", "ClipRef", nullptr).c_str(), 0);
    const int index = document.current_trunk_index;
    document.loading_settings = 0;
    std::string text;
    if (index > 0 && GetClipboardText(&text, 1)) apply_figure_bytes(&text, "(clipboard)");
    PopDataFolder();
    return index;
}

int XView::AddReferFile(const char* path) {
    if (!path || !*path) return -1;
    document.current_command_block = -1;
    PushDataFolder();
    TruncateReferenceStack(1);
    document.loading_settings = 0;
    char file[kPath] = {};
    fnd::split_folder_and_file(path, nullptr, file);
    std::string stem = file;
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
    const int before = trunk_count();
    ApplyFigureLine(template_line("refer", "ReferF " + stem, path).c_str(), 0);
    const int index = document.current_trunk_index;
    XTrunk* trunk = index >= before ? TrunkAt(index) : nullptr;
    if (trunk) {
        if (!trunk->loaded && !LoadsOnDemand(trunk)) {
            LoadReferenceFile(trunk);
            for (std::size_t i = 0; i < trunk->children.size(); ++i) ExpandReference(trunk->children[i], 0, 1);
        }
        trunk->RecalcMatrices(1);
        plat::send_message(output.parent, UM_VIEW_ITEMS_CHANGED, static_cast<WParam>(index), 2);
        plat::send_message(output.parent, UM_VIEW_ITEMS_ADDED, 0, 0);
    }
    PopDataFolder();
    document.current_named_list = -1;
    return trunk ? index : -1;
}

void XView::PasteAsTrunk(int item) {
    XTrunk* target = TrunkAt(item);
    if (!target) return;
    document.current_command_block = -1;
    PushDataFolder();
    if (key_held(plat::VK_CONTROL)) {
        ReplaceItemWithFile(item, nullptr);
    } else {
        TruncateReferenceStack(1);
        const bool world = key_held(plat::VK_SHIFT);
        const int before = trunk_count();
        ApplyFigureLine(template_line("trunk", world ? "PasteCG" : "PasteC", nullptr).c_str(), 0);
        XTrunk* wrapper = document.current_trunk_index >= before ? CurrentTrunk() : nullptr;
        if (wrapper) {
            PasteFromClipboard();
            // Under the item the pasted items keep their coordinates relative to it; under the root, world ones.
            if (!world) wrapper->SetParent(target);
            DeleteTrunk(IndexOfTrunk(wrapper), 1);
        }
    }
    PopDataFolder();
    if (XTrunk* root = TrunkAt(0)) root->RecalcMatrices(1);
    ApplyVisibility();
    Redraw(0);
    const int list[10] = {int(UM_VIEW_ITEMS_CHANGED),
                          0,
                          2,
                          int(UM_VIEW_STAGE_ADDED),
                          int(UM_VIEW_ITEM_CHANGED),
                          int(UM_VIEW_SHADOW_CHANGED),
                          int(UM_VIEW_ITEMS_ADDED),
                          int(UM_VIEW_SELECTION_CHANGED),
                          0,
                          0};
    SendNotifyList(list);
}

int XView::ReplaceItemWithFile(int item, const char* path) {
    XTrunk* old = item >= 1 ? TrunkAt(item) : nullptr;
    if (!old) return -1;
    XTrunk* holder = old->parent;
    // A unit holding the item is read again from the new file. The clipboard names no file, and the root is
    // the whole model: both take the new content in place of the one item instead.
    if (path && holder && holder->index != 0 && holder->HasFrefer()) {
        UnloadReferences(holder);
        kz::scene::COBJECTA* record = holder->base_record();
        record->frefer = ToAbsolutePath(record->frefer, path, holder);
        ExpandReference(holder, 0, 1);
        MarkTrunkChanged(holder);
        return holder->index;
    }
    const int temporary_index = path ? AddReferFile(path) : PasteClipRef();
    XTrunk* temporary = TrunkAt(temporary_index);
    if (!temporary || temporary_index < 1) return -1;
    if (temporary->children.empty()) {
        DeleteTrunkTree(temporary, 1);
        return -1;
    }
    XTrunk* replacement = temporary->children[0];
    SelectItem(-1, -1, -1);
    replacement->SetParent(holder);
    // It takes the old item's place, in the file that held the old item's row.
    replacement->read_from_unit = old->read_from_unit;
    DeleteTrunk(IndexOfTrunk(temporary), 1);
    while (!old->children.empty()) {
        const std::size_t before = old->children.size();
        old->children[0]->SetParent(replacement);
        if (old->children.size() >= before) break;
    }
    kz::scene::COBJECTA* from = old->base_record();
    kz::scene::COBJECTA* to = replacement->base_record();
    to->dx = from->dx, to->dy = from->dy, to->dz = from->dz;
    to->rx = from->rx, to->ry = from->ry, to->rz = from->rz;
    // The attributes go over, but the replacement stays what it is: its own unit file and mode, if any.
    char* own_file = to->frefer ? fnd::set_heap_string(nullptr, to->frefer, nullptr, -1) : nullptr;
    char* own_mode = to->frmode ? fnd::set_heap_string(nullptr, to->frmode, nullptr, -1) : nullptr;
    replacement->CopyAttributesFrom(old);
    fnd::free_and_null(to->frefer), fnd::free_and_null(to->frmode);
    to->frefer = own_file, to->frmode = own_mode;
    replacement->ClearPoses();
    replacement->CopyPosesFrom(old);
    if (from->parent_name && *from->parent_name)
        to->parent_name = fnd::set_heap_string(to->parent_name, from->parent_name, nullptr, -1);
    MarkTrunkChanged(replacement);
    DeleteTrunk(IndexOfTrunk(old), 1);
    replacement->RecalcMatrices(1);
    return IndexOfTrunk(replacement);
}

}  // namespace kz::view

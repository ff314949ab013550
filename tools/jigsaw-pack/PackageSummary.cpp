#include "PackageSummary.h"

#include "core/uKVErrors.h"
#include "gui/uJpegCodec.h"
#include "platform/uCp1252.h"

#include <iomanip>

namespace kvtools {

using namespace kv;

namespace {

std::string Text(const std::string& ansi) {
  return Cp1252ToUtf8(ansi);
}

// "640x480 JPEG", or why the picture cannot be read: the player decodes package pictures as JPEG only.
std::string PictureSize(const TMemoryStream& data) {
  try {
    const TImageInfo info = ReadJpegSize(data.Bytes());
    return std::to_string(info.Width) + "x" + std::to_string(info.Height) + " JPEG";
  } catch (const EImageError&) {
    return "not a JPEG picture";
  }
}

const char* SoundFormatName(const TJigsawProject2& p, uint32_t soundId) {
  for (const auto& f : p.SoundFormats)
    if (static_cast<uint32_t>(f.SoundID) == soundId)
      return f.Format == 1 ? "WAV" : f.Format == 2 ? "MIDI" : "other";
  return "none";
}

void PrintMenus(const TMenuList& menus, int depth, std::ostream& out) {
  for (const auto& node : menus) {
    out << std::string(4 + 2 * depth, ' ');
    if (node->Caption == "-")
      out << "----";
    else
      out << '"' << Text(node->Caption.empty() ? node->Name : node->Caption) << '"';
    out << "  [menu " << int(node->MenuNumber) << ", action " << node->Script.ID;
    if (!node->Visible) out << ", hidden";
    if (node->Script.Parameter.Count() > 0) out << ", " << node->Script.Parameter.Count() << " parameter(s)";
    out << "]\n";
    PrintMenus(node->Children, depth + 1, out);
  }
}

void PrintAction(const char* label, const TActionItem& action, std::ostream& out) {
  out << "  " << label << ": ";
  if (action.ScriptCount() == 0) {
    out << "none\n";
    return;
  }
  for (int32_t i = 0; i < action.ScriptCount(); ++i) {
    const TScriptItem& s = action.Scripts(static_cast<std::size_t>(i));
    out << (i ? ", " : "") << "command " << s.ID;
    for (int32_t k = 0; k < s.Parameter.Count(); ++k) {
      const auto& e = s.Parameter.Entries(static_cast<std::size_t>(k));
      if (e.Kind == kParamText)
        out << " \"" << Text(e.AsText()) << '"';
      else if (e.Kind == kParamInteger)
        out << ' ' << e.AsInteger();
    }
  }
  out << '\n';
}

} // namespace

void PrintProjectSummary(const TJigsawProject2& p, std::ostream& out) {
  out << "Title: " << Text(p.Title) << '\n';

  out << "Pictures: " << p.PictureCount() << " playable, " << p.WallpaperCount() << " wallpaper(s)\n";
  for (const auto& pic : p.Pictures) {
    out << "  "
        << (IsPictureId(pic->ID)     ? "picture  "
            : IsWallpaperId(pic->ID) ? "wallpaper"
                                     : "other    ")
        << ' ' << std::setw(10) << pic->ID << "  \"" << Text(pic->Name) << "\"  " << PictureSize(pic->Data)
        << ", " << pic->Data.Size() << " bytes";
    if (const TPictureSettings* s = p.FindPictureSettings(pic->ID))
      out << "  pieces " << s->NumPiecesMin << ".." << s->NumPiecesMax
          << (s->PrepareGame ? " (prepared)" : "");
    out << '\n';
  }

  out << "Sounds: " << p.Sounds.size() << '\n';
  for (const auto& s : p.Sounds) {
    out << "  " << std::setw(10) << s->ID << "  \"" << Text(s->Name) << "\"  " << s->Data.Size()
        << " bytes, format " << SoundFormatName(p, s->ID);
    std::string slots;
    for (const auto& slot : p.EventSounds)
      if (!slot.SoundIds.empty() && slot.SoundIds.front() == s->ID) slots += " " + std::to_string(slot.Slot);
    if (!slots.empty()) out << ", event slot(s)" << slots;
    out << '\n';
  }

  out << "Skins: " << p.Skins.size() << " (skin mode " << p.SkinMode << ")\n";
  for (const auto& s : p.Skins)
    out << "  " << s->ID << "  mode " << s->SkinMode << ", " << s->Data.Size() << " bytes, area "
        << s->Area[2] << 'x' << s->Area[3] << ", " << s->ButtonIds.size() << " button(s)\n";
  out << "Buttons: " << p.Buttons.size() << '\n';
  for (const auto& b : p.Buttons)
    out << "  " << b->ID << "  at " << b->Left << ',' << b->Top << "  " << b->Width << 'x' << b->Height
        << "  action " << b->Action << '\n';
  out << "Clock displays: " << p.ClockDisplays.size() << '\n';

  out << "Menus:\n";
  PrintMenus(p.Menus, 0, out);

  out << "Actions:\n";
  PrintAction("start", p.StartActions, out);
  PrintAction("end", p.EndActions, out);
  PrintAction("exit", p.ExitActions, out);
  out << "  action groups: " << p.ActionGroups.size() << ", button scripts: " << p.ButtonScripts.size()
      << '\n';

  out << "Banners: " << p.Banners.Count() << " in " << p.BannerContainers.Count() << " container(s)\n";
  for (int32_t i = 0; i < p.Banners.Count(); ++i) {
    const TBanner& b = *p.Banners.Items(i);
    out << "  " << b.ID << "  \"" << Text(b.Name) << "\"  " << b.Width() << 'x' << b.Height() << ", every "
        << b.Interval << " ms, event " << b.EventID();
    if (!b.URL.empty()) out << ", " << Text(b.URL);
    out << '\n';
  }

  out << "Settings:\n"
      << "  picture choice " << int(p.PictureChoiceMode) << ", pieces " << p.NumPiecesMin << ".."
      << p.NumPiecesMax << ", piece scale " << int(p.PieceScale) << '\n'
      << "  countdown " << (p.Countdown ? std::to_string(p.CountdownSeconds) + " s" : std::string("off"))
      << ", rotation " << (p.NoRotation ? "off" : "on") << ", bevel level " << int(p.BevelLevel) << '\n'
      << "  preview " << (p.Options.ShowPreview ? "on" : "off") << " at " << int(p.PreviewScale) << "/10"
      << ", ghost " << (p.Options.ShowGhost ? "on" : "off") << " (mode " << int(p.GhostMode) << ", alpha "
      << int(p.GhostAlpha) << ")\n"
      << "  high scores " << (p.Options.NoHighScores ? "off" : "on") << ", file \""
      << Text(p.HighScoreFileName) << "\"\n";
  out << "Flags: drag mode " << (p.Options.NoDragMode ? "off" : "on") << ", sound "
      << (p.SoundOn ? "on" : "off") << ", window position " << int(p.WindowPosition) << ", stored cuts "
      << p.PictureCuts.size() << ", piece shapes " << p.PieceShapeData.Size() << " bytes\n";
}

} // namespace kvtools

#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

// The cover picture a file carries.
struct Picture {
    std::string MimeType;             // "image/jpeg", "image/png"
    std::string Description;
    std::vector<unsigned char> Data;  // the image file's bytes; empty for none
    bool operator==(const Picture&) const = default;
};

// What a file says about its sound beside the sound: the text fields in
// UTF-8 (empty for a field it does not have) and the cover picture.  Kept
// by the document outside the working file and written into every save in
// the format's own way.
struct Tags {
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Track;    // "3" or "3/12", as the file gives it
    std::string Year;     // "2024", or a whole date
    std::string Genre;
    std::string Comment;
    std::string Lyrics;
    Picture Cover;
    bool operator==(const Tags&) const = default;
    bool Empty() const { return *this == Tags{}; }
};

// The text fields, one row each, in the order they are listed and shown:
// the field's name on the command line (--tag title=...), its key in the
// language files' [Properties] and in printed lines (Tag.Title=...), and
// whether velmora-cli lists and sets it (the lyrics run over many lines).
struct TagField {
    const char* Name;
    const char* Key;
    std::string Tags::*Member;
    bool OnCommandLine;
};
inline constexpr std::array<TagField, 8> TagFields = {{
    {"title", "Title", &Tags::Title, true},
    {"artist", "Artist", &Tags::Artist, true},
    {"album", "Album", &Tags::Album, true},
    {"track", "Track", &Tags::Track, true},
    {"year", "Year", &Tags::Year, true},
    {"genre", "Genre", &Tags::Genre, true},
    {"comment", "Comment", &Tags::Comment, true},
    {"lyrics", "Lyrics", &Tags::Lyrics, false},
}};

// The row of a field's command-line name; nullptr for none.
inline const TagField* TagFieldNamed(const std::string& name)
{
    for (const TagField& field : TagFields) {
        if (name == field.Name)
            return &field;
    }
    return nullptr;
}

} // namespace velmora

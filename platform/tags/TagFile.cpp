#include "TagFile.h"

#include "platform/PathText.h"

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>

#include <memory>

namespace velmora {

namespace {

// The property names TagLib maps onto every format's own fields.
struct PropertyName {
    const char* Property;
    std::string Tags::*Member;
};
constexpr PropertyName Properties[] = {
    {"TITLE", &Tags::Title},     {"ARTIST", &Tags::Artist}, {"ALBUM", &Tags::Album},
    {"TRACKNUMBER", &Tags::Track}, {"DATE", &Tags::Year},   {"GENRE", &Tags::Genre},
    {"COMMENT", &Tags::Comment}, {"LYRICS", &Tags::Lyrics},
};

TagLib::String Utf8(const std::string& text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

std::string FromTagLib(const TagLib::String& text)
{
    return text.to8Bit(true);
}

TagLib::ByteVector Bytes(const std::vector<unsigned char>& data)
{
    return TagLib::ByteVector(reinterpret_cast<const char*>(data.data()), static_cast<unsigned int>(data.size()));
}

std::vector<unsigned char> FromBytes(const TagLib::ByteVector& data)
{
    return std::vector<unsigned char>(data.begin(), data.end());
}

void TakeProperties(const TagLib::PropertyMap& map, Tags& tags)
{
    for (const PropertyName& name : Properties) {
        const auto it = map.find(name.Property);
        if (it != map.end() && !it->second.isEmpty())
            tags.*name.Member = FromTagLib(it->second.front());
    }
}

TagLib::PropertyMap PropertiesOf(const Tags& tags)
{
    TagLib::PropertyMap map;
    for (const PropertyName& name : Properties) {
        if (!(tags.*name.Member).empty())
            map.insert(name.Property, TagLib::StringList(Utf8(tags.*name.Member)));
    }
    return map;
}

// Fields the property names missed, from the format's basic fields (an
// ASF file's description is its comment).
void TakeBasicFields(const TagLib::Tag* tag, Tags& tags)
{
    if (tag == nullptr)
        return;
    auto fill = [](std::string& field, const std::string& value) {
        if (field.empty())
            field = value;
    };
    fill(tags.Title, FromTagLib(tag->title()));
    fill(tags.Artist, FromTagLib(tag->artist()));
    fill(tags.Album, FromTagLib(tag->album()));
    fill(tags.Genre, FromTagLib(tag->genre()));
    fill(tags.Comment, FromTagLib(tag->comment()));
    if (tag->year() != 0)
        fill(tags.Year, std::to_string(tag->year()));
    if (tag->track() != 0)
        fill(tags.Track, std::to_string(tag->track()));
}

// ASF attributes under the plain names other writers use (the ffmpeg
// tool writes "date" rather than "WM/Year", its comment as "Description").
void TakePlainAsfNames(TagLib::ASF::Tag* tag, Tags& tags)
{
    if (tag == nullptr)
        return;
    const struct {
        const char* Name;
        std::string Tags::*Member;
    } names[] = {{"date", &Tags::Year},       {"year", &Tags::Year},   {"track", &Tags::Track},
                 {"comment", &Tags::Comment}, {"genre", &Tags::Genre}, {"album", &Tags::Album},
                 {"artist", &Tags::Artist},   {"lyrics", &Tags::Lyrics}, {"Description", &Tags::Comment}};
    for (const auto& name : names) {
        if (!(tags.*name.Member).empty() || !tag->contains(name.Name))
            continue;
        const TagLib::ASF::AttributeList list = tag->attribute(name.Name);
        if (!list.isEmpty() && list.front().type() == TagLib::ASF::Attribute::UnicodeType)
            tags.*name.Member = FromTagLib(list.front().toString());
    }
}

// The front cover of an ID3v2 tag, or its first picture.
Picture PictureOf(TagLib::ID3v2::Tag* tag)
{
    Picture picture;
    if (tag == nullptr)
        return picture;
    const TagLib::ID3v2::FrameList& frames = tag->frameListMap()["APIC"];
    for (TagLib::ID3v2::Frame* frame : frames) {
        auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (apic == nullptr)
            continue;
        if (picture.Data.empty() || apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
            picture = {FromTagLib(apic->mimeType()), FromTagLib(apic->description()), FromBytes(apic->picture())};
            if (apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
                break;
        }
    }
    return picture;
}

void PutPicture(TagLib::ID3v2::Tag& tag, const Picture& picture)
{
    tag.removeFrames("APIC");
    if (picture.Data.empty())
        return;
    auto frame = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
    frame->setMimeType(Utf8(picture.MimeType));
    frame->setDescription(Utf8(picture.Description));
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(Bytes(picture.Data));
    frame->setTextEncoding(TagLib::String::UTF8);
    tag.addFrame(frame.release());  // the tag owns its frames
}

// ID3v2.4 keeps its text in UTF-8 rather than TagLib's default Latin-1,
// where a name in Cyrillic or Japanese would not survive.
void UseUtf8(TagLib::ID3v2::Tag& tag)
{
    for (TagLib::ID3v2::Frame* frame : tag.frameList()) {
        if (auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame))
            text->setTextEncoding(TagLib::String::UTF8);
        else if (auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame))
            comment->setTextEncoding(TagLib::String::UTF8);
        else if (auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame))
            lyrics->setTextEncoding(TagLib::String::UTF8);
    }
}

Picture AsfPictureOf(TagLib::ASF::Tag* tag)
{
    Picture picture;
    if (tag == nullptr || !tag->contains("WM/Picture"))
        return picture;
    for (const TagLib::ASF::Attribute& attribute : tag->attribute("WM/Picture")) {
        const TagLib::ASF::Picture asf = attribute.toPicture();
        if (!asf.isValid())
            continue;
        if (picture.Data.empty() || asf.type() == TagLib::ASF::Picture::FrontCover) {
            picture = {FromTagLib(asf.mimeType()), FromTagLib(asf.description()), FromBytes(asf.picture())};
            if (asf.type() == TagLib::ASF::Picture::FrontCover)
                break;
        }
    }
    return picture;
}

} // namespace

Tags ReadTags(const std::string& path)
{
    Tags tags;
    const TagLib::FileName name(path.c_str());
    if (HasExtension(path, ".mp3")) {
        TagLib::MPEG::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeBasicFields(file.tag(), tags);
            tags.Cover = PictureOf(file.ID3v2Tag());
        }
    } else if (HasExtension(path, ".wma")) {
        TagLib::ASF::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeBasicFields(file.tag(), tags);
            TakePlainAsfNames(file.tag(), tags);
            tags.Cover = AsfPictureOf(file.tag());
        }
    } else if (HasExtension(path, ".wav")) {
        TagLib::RIFF::WAV::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeProperties(file.InfoTag()->properties(), tags);
            TakeBasicFields(file.tag(), tags);
            tags.Cover = PictureOf(file.ID3v2Tag());
        }
    }
    return tags;
}

bool WriteTags(const std::string& path, const std::string& extension, const Tags& tags)
{
    const TagLib::FileName name(path.c_str());
    const TagLib::PropertyMap properties = PropertiesOf(tags);
    if (HasExtension(extension, ".mp3")) {
        TagLib::MPEG::File file(name, false);
        if (!file.isValid() || file.readOnly())
            return false;
        file.strip(TagLib::MPEG::File::AllTags);
        if (tags.Empty())
            return file.save(TagLib::MPEG::File::NoTags, TagLib::File::StripOthers);
        TagLib::ID3v2::Tag* id3 = file.ID3v2Tag(true);
        id3->setProperties(properties);
        PutPicture(*id3, tags.Cover);
        UseUtf8(*id3);
        return file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                         TagLib::ID3v2::v4, TagLib::File::Duplicate);
    }
    if (HasExtension(extension, ".wma")) {
        TagLib::ASF::File file(name, false);
        if (!file.isValid() || file.readOnly())
            return false;
        TagLib::ASF::Tag* tag = file.tag();
        tag->setProperties(properties);
        tag->removeItem("WM/Picture");
        if (!tags.Cover.Data.empty()) {
            TagLib::ASF::Picture picture;
            picture.setMimeType(Utf8(tags.Cover.MimeType));
            picture.setDescription(Utf8(tags.Cover.Description));
            picture.setType(TagLib::ASF::Picture::FrontCover);
            picture.setPicture(Bytes(tags.Cover.Data));
            tag->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
        }
        return file.save();
    }
    if (HasExtension(extension, ".wav")) {
        TagLib::RIFF::WAV::File file(name, false);
        if (!file.isValid() || file.readOnly())
            return false;
        file.strip();
        if (tags.Empty())
            return file.save(TagLib::RIFF::WAV::File::NoTags, TagLib::File::StripOthers);
        file.InfoTag()->setProperties(properties);
        TagLib::ID3v2::Tag* id3 = file.ID3v2Tag();
        id3->setProperties(properties);
        PutPicture(*id3, tags.Cover);
        UseUtf8(*id3);
        return file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v4);
    }
    return true;  // a format without tags: nothing to keep
}

} // namespace velmora

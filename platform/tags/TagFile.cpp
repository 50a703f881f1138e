#include "TagFile.h"

#include "platform/FileFormats.h"

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/textidentificationframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

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

// The front cover among FLAC picture blocks (a FLAC file's own, or those
// a Vorbis comment carries), or the first of them.
Picture FlacPictureOf(const TagLib::List<TagLib::FLAC::Picture*>& blocks)
{
    Picture picture;
    for (const TagLib::FLAC::Picture* block : blocks) {
        if (picture.Data.empty() || block->type() == TagLib::FLAC::Picture::FrontCover) {
            picture = {FromTagLib(block->mimeType()), FromTagLib(block->description()), FromBytes(block->data())};
            if (block->type() == TagLib::FLAC::Picture::FrontCover)
                break;
        }
    }
    return picture;
}

// The cover as a FLAC picture block, for the file or comment that takes it
// over; none when there is no cover.
std::unique_ptr<TagLib::FLAC::Picture> FlacPicture(const Picture& picture)
{
    if (picture.Data.empty())
        return nullptr;
    auto block = std::make_unique<TagLib::FLAC::Picture>();
    block->setType(TagLib::FLAC::Picture::FrontCover);
    block->setMimeType(Utf8(picture.MimeType));
    block->setDescription(Utf8(picture.Description));
    block->setData(Bytes(picture.Data));
    return block;
}

// The fields of a Vorbis comment (FLAC, Ogg Vorbis and Opus keep their
// text there), and its pictures when nothing before gave a cover.
void TakeXiphComment(TagLib::Ogg::XiphComment* comment, Tags& tags)
{
    if (comment == nullptr)
        return;
    TakeProperties(comment->properties(), tags);
    TakeBasicFields(comment, tags);
    if (tags.Cover.Data.empty())
        tags.Cover = FlacPictureOf(comment->pictureList());
}

// A Vorbis comment holding nothing but properties and the cover (an empty
// one for FLAC, which keeps its cover in a block of its own).
void PutXiphComment(TagLib::Ogg::XiphComment& comment, const TagLib::PropertyMap& properties, const Picture& cover)
{
    comment.removeAllFields();
    comment.removeAllPictures();
    comment.setProperties(properties);
    if (std::unique_ptr<TagLib::FLAC::Picture> block = FlacPicture(cover))
        comment.addPicture(block.release());  // the comment owns its pictures
}

// An Ogg Vorbis or Opus file, whose comment holds the cover as well.
template <class OggFile>
bool WriteXiphStream(TagLib::FileName name, const TagLib::PropertyMap& properties, const Picture& cover)
{
    OggFile file(name, false);
    if (!file.isValid() || file.readOnly())
        return false;
    PutXiphComment(*file.tag(), properties, cover);
    return file.save();
}

// The MIME types of the picture formats an MP4 "covr" item names.
struct CoverArtFormat {
    TagLib::MP4::CoverArt::Format Format;
    const char* MimeType;
};
constexpr CoverArtFormat CoverArtFormats[] = {
    {TagLib::MP4::CoverArt::JPEG, "image/jpeg"},
    {TagLib::MP4::CoverArt::PNG, "image/png"},
    {TagLib::MP4::CoverArt::BMP, "image/bmp"},
    {TagLib::MP4::CoverArt::GIF, "image/gif"},
};

// The first picture of an MP4 file's "covr" item (taken for a JPEG when
// the item does not say).
Picture Mp4PictureOf(const TagLib::MP4::Tag* tag)
{
    Picture picture;
    if (tag == nullptr || !tag->contains("covr"))
        return picture;
    const TagLib::MP4::CoverArtList art = tag->item("covr").toCoverArtList();
    if (art.isEmpty())
        return picture;
    picture.MimeType = "image/jpeg";
    for (const CoverArtFormat& format : CoverArtFormats) {
        if (art.front().format() == format.Format)
            picture.MimeType = format.MimeType;
    }
    picture.Data = FromBytes(art.front().data());
    return picture;
}

TagLib::MP4::CoverArt Mp4CoverArt(const Picture& picture)
{
    TagLib::MP4::CoverArt::Format kind = TagLib::MP4::CoverArt::Unknown;
    for (const CoverArtFormat& format : CoverArtFormats) {
        if (picture.MimeType == format.MimeType)
            kind = format.Format;
    }
    return TagLib::MP4::CoverArt(kind, Bytes(picture.Data));
}

} // namespace

namespace {

// Where a file of path's kind keeps its tags, by the table of formats.
TagContainer ContainerOf(const std::string& path)
{
    const FileFormat* format = FormatOf(path);
    return format != nullptr ? format->Tags : TagContainer::None;
}

} // namespace

Tags ReadTags(const std::string& path)
{
    Tags tags;
    const TagLib::FileName name(path.c_str());
    switch (ContainerOf(path)) {
    case TagContainer::Mpeg: {
        TagLib::MPEG::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeBasicFields(file.tag(), tags);
            tags.Cover = PictureOf(file.ID3v2Tag());
        }
        break;
    }
    case TagContainer::Asf: {
        TagLib::ASF::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeBasicFields(file.tag(), tags);
            TakePlainAsfNames(file.tag(), tags);
            tags.Cover = AsfPictureOf(file.tag());
        }
        break;
    }
    case TagContainer::RiffWave: {
        TagLib::RIFF::WAV::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeProperties(file.InfoTag()->properties(), tags);
            TakeBasicFields(file.tag(), tags);
            tags.Cover = PictureOf(file.ID3v2Tag());
        }
        break;
    }
    case TagContainer::Flac: {
        TagLib::FLAC::File file(name, false);
        if (file.isValid()) {
            tags.Cover = FlacPictureOf(file.pictureList());
            TakeXiphComment(file.xiphComment(), tags);
            TakeBasicFields(file.tag(), tags);  // the ID3 tags a few FLAC files carry too
        }
        break;
    }
    case TagContainer::OggVorbis: {
        TagLib::Ogg::Vorbis::File file(name, false);
        if (file.isValid())
            TakeXiphComment(file.tag(), tags);
        break;
    }
    case TagContainer::OggOpus: {
        TagLib::Ogg::Opus::File file(name, false);
        if (file.isValid())
            TakeXiphComment(file.tag(), tags);
        break;
    }
    case TagContainer::Mp4: {
        TagLib::MP4::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeBasicFields(file.tag(), tags);
            tags.Cover = Mp4PictureOf(file.tag());
        }
        break;
    }
    case TagContainer::RiffAiff: {
        TagLib::RIFF::AIFF::File file(name, false);
        if (file.isValid()) {
            TakeProperties(file.properties(), tags);
            TakeBasicFields(file.tag(), tags);
            tags.Cover = PictureOf(file.tag());
        }
        break;
    }
    case TagContainer::None: break;
    }
    return tags;
}

bool WriteTags(const std::string& path, const std::string& extension, const Tags& tags)
{
    const TagLib::FileName name(path.c_str());
    const TagLib::PropertyMap properties = PropertiesOf(tags);
    switch (ContainerOf(extension)) {
    case TagContainer::Mpeg: {
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
    case TagContainer::Asf: {
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
    case TagContainer::RiffWave: {
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
    case TagContainer::Flac: {
        TagLib::FLAC::File file(name, false);
        if (!file.isValid() || file.readOnly())
            return false;
        file.strip(TagLib::FLAC::File::ID3v1 | TagLib::FLAC::File::ID3v2);
        PutXiphComment(*file.xiphComment(true), properties, Picture{});
        file.removePictures();
        if (std::unique_ptr<TagLib::FLAC::Picture> block = FlacPicture(tags.Cover))
            file.addPicture(block.release());  // the file owns its picture blocks
        return file.save();
    }
    case TagContainer::OggVorbis: return WriteXiphStream<TagLib::Ogg::Vorbis::File>(name, properties, tags.Cover);
    case TagContainer::OggOpus: return WriteXiphStream<TagLib::Ogg::Opus::File>(name, properties, tags.Cover);
    case TagContainer::Mp4: {
        TagLib::MP4::File file(name, false);
        if (!file.isValid() || file.readOnly())
            return false;
        TagLib::MP4::Tag* tag = file.tag();
        const TagLib::MP4::ItemMap items = tag->itemMap();  // a copy: the loop empties the tag
        for (const auto& item : items)
            tag->removeItem(item.first);
        tag->setProperties(properties);
        if (!tags.Cover.Data.empty())
            tag->setItem("covr", TagLib::MP4::Item(TagLib::MP4::CoverArtList().append(Mp4CoverArt(tags.Cover))));
        return file.save();
    }
    // AIFF is opened only; AAC has no tags: nothing to keep.
    case TagContainer::RiffAiff:
    case TagContainer::None: break;
    }
    return true;
}

} // namespace velmora

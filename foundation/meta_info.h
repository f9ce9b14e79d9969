#pragma once

// The meta block at the top level of the XML files the program writes for
// itself (airport files, LiveriesScanned.xml):
//
//   <meta>
//     <info name="author" value="CRVN"/>
//     <info name="version" value="11.0.2"/>
//     <info name="date" value="Dec 05, 2026"/>
//     <info name="copyright" value="..."/>
//     <info name="MSFS" value="2020"/>
//   </meta>

#include <string_view>

#include "foundation/settings.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace crv {

// The entry names; readMetaInfo puts what it finds into their values. Not
// settings: they never appear in parameters.xml.
extern StringParameter metaAuthor;     // "author"
extern StringParameter metaDate;       // "date"
extern StringParameter metaVersion;    // "version"
extern StringParameter metaCopyright;  // "copyright"; its default is the notice written
extern StringParameter metaMsfs;       // "MSFS"
extern StringParameter metaP3d;        // "P3D"

// Appends the meta block as the last child of the node (writers pass the
// document, so that it is a top-level element). The MSFS entry is "2020"
// when the simulator folder name is exactly "MSFS", else "2024". False when
// the node is empty or an element could not be added; the entries after a
// failed one are not written.
bool writeMetaInfo(pugi::xml_node node, std::string_view simulatorFolderName);
// The same with the chosen simulator's folder name (simFolderName()).
bool writeMetaInfo(pugi::xml_node node);

// Looks up "/meta/info[@name='<entry name>']". Found: the entry's value gets
// the value attribute's text and the result is true. Not found: the value
// becomes empty and the result is false.
bool readMetaInfo(const pugi::xml_document& document, StringParameter& entry);

// An airport file is accepted only when its meta block names author, date
// and version (with any values).
bool metaBlockAccepted(const pugi::xml_document& document);

}  // namespace crv

// What every KML document Sightline writes begins with.
#pragma once

#include <pugixml.hpp>

namespace sightline {

/// Appends the XML declaration (UTF-8) and a KML 2.2 root to `xml`; returns its Document element.
inline pugi::xml_node beginKmlDocument(pugi::xml_document& xml) {
  pugi::xml_node declaration = xml.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node kml = xml.append_child("kml");
  kml.append_attribute("xmlns") = "http://www.opengis.net/kml/2.2";
  return kml.append_child("Document");
}

}  // namespace sightline

// XML export of one shape. The names are Shift_JIS bytes; values are numbers only, so nothing needs escaping.
#include "modeller/files/o3du_write_xml.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace {

// Element and attribute names.
constexpr const char* kDimension = "\x8E\x9F\x8C\xB3";                                  // dimension
constexpr const char* kLineWidth = "\x90\xFC\x82\xCC\x91\xBE\x82\xB3";                  // line width
constexpr const char* kMaterialType = "\x8D\xDE\x8E\xBF\x83\x5E\x83\x43\x83\x76";       // material type
constexpr const char* kTextureNo = "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83\x4E\x6F";  // texture No
constexpr const char* kMaterial = "\x8D\xDE\x8E\xBF";                                   // material
constexpr const char* kPower = "\x8B\xAD\x82\xB3";                                      // strength
constexpr const char* kDiffuse = "\x8A\x67\x8E\x55\x8C\xF5";                            // diffuse light
constexpr const char* kAmbient = "\x8A\xC2\x8B\xAB\x8C\xF5";                            // ambient light
constexpr const char* kSpecular = "\x8B\xBE\x96\xCA\x94\xBD\x8E\xCB\x8C\xF5";           // specular light
constexpr const char* kEmission = "\x95\xFA\x8E\xCB\x8C\xF5";                           // emitted light
constexpr const char* kVertex = "\x92\xB8\x93\x5F";                                     // vertex
constexpr const char* kPosition = "\x8D\xC0\x95\x57";                                   // coordinates
constexpr const char* kNormal = "\x96\x40\x90\xFC";                                     // normal
constexpr const char* kColor = "\x90\x46";                                              // colour
constexpr const char* kTexture = "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83";            // texture
constexpr const char* kTriangle = "\x8E\x4F\x8A\x70\x8C\x60";                           // triangle
constexpr const char* kIndex = "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58";      // index

// Set type names: points, line segments, connected segments, several triangles, triangle strip ("peeling"),
// triangle fan, vertex index, and line-segment index for the indexed lines.
constexpr const char* kSetTypeNames[] = {
    "\x93\x5F",
    "\x90\xFC\x95\xAA",
    "\x98\x41\x91\xB1\x90\xFC\x95\xAA",
    "\x95\xA1\x90\x94\x82\xCC\x8E\x4F\x8A\x70\x8C\x60",
    "\x8E\x4F\x8A\x70\x8C\x60\x94\xE7\x82\xDE\x82\xAB",
    "\x8E\x4F\x8A\x70\x8C\x60\x82\xA4\x82\xBF\x82\xED",
    "\x92\xB8\x93\x5F\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58",
    "\x90\xFC\x95\xAA\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58",
};
// Material type names: single colour, per-vertex colour, texture, sphere map.
constexpr const char* kMaterialTypeNames[] = {
    "\x92\x50\x90\x46",
    "\x92\xB8\x93\x5F\x90\x46\x8E\x77\x92\xE8",
    "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83",
    "\x83\x58\x83\x74\x83\x42\x83\x41\x83\x7D\x83\x62\x83\x76",
};

void indent(std::FILE* f, int depth) {
    for (int i = std::clamp(depth, 0, 255); i > 0; --i) std::fputc('\t', f);
}

// A table name for a value inside the table, else the number itself.
std::string name_or_number(const char* const* names, int count, int value) {
    return value >= 0 && value < count ? names[value] : kz::crt::int_text(value);
}

}  // namespace

int CO3duWriteXML::WriteColorValude(std::FILE* f, OfuColorValue& c, const char* name) {
    kz::crt::c_fprintf(f, " %s=\"%g,%g,%g,%g\"", name, c.r, c.g, c.b, c.a);
    return 1;
}

int CO3duWriteXML::WriteMaterial(std::FILE* f, _OfuMaterial& m, int depth) {
    indent(f, depth);
    kz::crt::c_fprintf(f, "<%s %s=\"%g\"", kMaterial, kPower, m.power);
    WriteColorValude(f, m.diffuse, kDiffuse);
    WriteColorValude(f, m.ambient, kAmbient);
    WriteColorValude(f, m.specular, kSpecular);
    WriteColorValude(f, m.emission, kEmission);
    std::fputs("/>\n", f);
    return 1;
}

int CO3duWriteXML::WriteVertex(std::FILE* f, _O3duVertex& v, int depth) {
    indent(f, depth);
    kz::crt::c_fprintf(f, "<%s %s=\"%g,%g,%g\" %s=\"%g,%g,%g\" %s=\"%g,%g,%g,%g\" %s=\"%g,%g\"/>\n", kVertex, kPosition,
                       v.position.x, v.position.y, v.position.z, kNormal, v.normal.x, v.normal.y, v.normal.z, kColor,
                       v.color[0], v.color[1], v.color[2], v.color[3], kTexture, v.tex.x, v.tex.y);
    return 1;
}

int CO3duWriteXML::WriteIndex(std::FILE* f, const std::int32_t* triple, int depth) {
    indent(f, depth);
    std::fprintf(f, "<%s %s=\"%d,%d,%d\"/>\n", kTriangle, kIndex, triple[0], triple[1], triple[2]);
    return 1;
}

int CO3duWriteXML::WriteTrianglePolygons(std::FILE* f, CO3duTrianglePolys& set, int depth) {
    const double width = std::isfinite(set.line_width) ? std::clamp<double>(set.line_width, -1e9, 1e9) : 0.0;
    indent(f, depth);
    std::fprintf(f, "<TrianglePolys Type=\"%s\" %s=\"%ld\" %s=\"%s\" %s=\"%d\">\n",
                 name_or_number(kSetTypeNames, 8, set.type).c_str(), kLineWidth, std::lround(width), kMaterialType,
                 name_or_number(kMaterialTypeNames, 4, set.material_type).c_str(), kTextureNo, set.texture_number);
    WriteMaterial(f, set.material, depth + 1);
    for (int i = 0; i < set.vertices.GetSize(); ++i) WriteVertex(f, set.vertices[i], depth + 1);
    for (int i = 0; i < set.indices.GetSize(); ++i) {
        const _O3duVertexIndex& t = set.indices[i];
        const std::int32_t triple[3] = {t.a, t.b, t.c};
        WriteIndex(f, triple, depth + 1);
    }
    indent(f, depth);
    std::fputs("</TrianglePolys>\n", f);
    return 1;
}

int CO3duWriteXML::WritePrimitiveFp(std::FILE* f, CO3duModelar* modeller, _OfuPosition* shape, int depth) {
    CO3duPrimitive p;
    modeller->GetPrimitive(shape, p, O3DU_PRIM_ALL);
    indent(f, depth);
    std::fprintf(f, "<primitive drawmode=\"%d\" Matrix=\"", p.draw_mode);
    for (int i = 0; i < 16; ++i) kz::crt::c_fprintf(f, i ? ",%f" : "%f", p.model_matrix.m[i / 4][i % 4]);
    std::fprintf(f, "\" %s=\"%s\">\n", kDimension, p.kind == 1 ? "2D" : "3D");
    for (int s = 0; s < p.sets.GetSize(); ++s) WriteTrianglePolygons(f, p.sets[s], depth + 1);
    indent(f, depth);
    std::fputs("</primitive>\n", f);
    return 1;
}

int CO3duWriteXML::WritePrimitive(const char* path, CO3duModelar* modeller, _OfuPosition* shape) {
    if (!modeller || !path) return 0;
    kz::platform::FileWriter out(path);
    if (!out.is_open()) return 0;
    std::fputs("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n", out.stream());
    WritePrimitiveFp(out.stream(), modeller, shape, 0);
    return out.commit() ? 1 : 0;
}

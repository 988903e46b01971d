// Reading an SBML document with libSBML and checking it against the supported model class: file,
// XML and consistency errors, packages, and the constructs the importer refuses. The translation
// of the checked model: translate.cpp.
#include <cctype>
#include <filesystem>
#include <memory>
#include <sstream>

#include <sbml/SBMLTypes.h>
#include <sbml/conversion/ConversionProperties.h>
#include <sbml/extension/SBasePlugin.h>

#include "quorvant/sbml/sbml_reader.h"

#include "translation_state.h"

namespace qv::sbml {

namespace {

using detail::fail;
using detail::in_quotes;
using detail::label;
using detail::refuse;

constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::string one_line(std::string s) {
    for (char &c : s)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

// The file's name for the comments of the generated files: no directory, and no character that
// could end or continue a comment line.
std::string printable_name(const std::string &path) {
    std::string name = std::filesystem::path(path).filename().string().substr(0, 200);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+') c = '_';
    return name;
}

// libSBML's messages state the rule, then "Reference: <document> Section <n>  ", then what this
// document did wrong: keep the last part, which names the offending id.
std::string specific_part(const std::string &msg) {
    constexpr size_t kMaxMessage = 300;
    std::string out = msg;
    const size_t ref = msg.find("Reference: ");
    if (ref != std::string::npos) {
        const size_t gap = msg.find("  ", ref);
        if (gap != std::string::npos && gap + 2 < msg.size()) out = msg.substr(gap + 2);
    }
    if (out.size() > kMaxMessage) out = out.substr(0, kMaxMessage) + " ...";
    return out;
}

void first_error(const SBMLDocument &doc, const std::string &path) {
    for (unsigned i = 0; i < doc.getNumErrors(); ++i) {
        const SBMLError *e = doc.getError(i);
        if (e->isError() || e->isFatal())
            fail(path + ": line " + std::to_string(e->getLine()) + ": " + specific_part(one_line(e->getMessage())));
    }
}

// Constructs outside the model class, named with their id.
void check_refusals(const Model &model, std::vector<std::string> &notes) {
    for (unsigned i = 0; i < model.getNumRules(); ++i) {
        const Rule *r = model.getRule(i);
        if (r->isAlgebraic() && r->isSetMath()) refuse("algebraic rule " + label(r, i) + " (algebraic rules are not supported)");
    }
    for (unsigned i = 0; i < model.getNumReactions(); ++i) {
        const Reaction *r = model.getReaction(i);
        if (r->isSetFast() && r->getFast())
            refuse("fast reaction " + label(r, i) + " (fast reactions are not supported)");
        if (!r->isSetKineticLaw() || !r->getKineticLaw()->isSetMath())
            refuse("reaction " + label(r, i) + " has no kinetic law");
        for (unsigned k = 0; k < r->getNumReactants() + r->getNumProducts(); ++k) {
            const SpeciesReference *sr =
                k < r->getNumReactants() ? r->getReactant(k) : r->getProduct(k - r->getNumReactants());
            if (sr->isSetStoichiometryMath())
                refuse("stoichiometryMath of species " + in_quotes(sr->getSpecies()) + " in reaction " + label(r, i) +
                       " (stoichiometryMath is not supported)");
        }
    }
    for (unsigned i = 0; i < model.getNumConstraints(); ++i)
        notes.push_back("constraint " + label(model.getConstraint(i), i) + " is not checked during simulations");
}

// Whether any element of the document carries something of the package: elements of its own, or
// attributes the package adds to core elements.
bool package_used(SBMLDocument &doc, const std::string &name) {
    std::unique_ptr<List> all(doc.getAllElements());
    std::vector<SBase *> elements{&doc};
    if (doc.getModel()) elements.push_back(doc.getModel());
    for (unsigned i = 0; all && i < all->getSize(); ++i) elements.push_back(static_cast<SBase *>(all->get(i)));
    for (SBase *e : elements) {
        if (e->getPackageName() == name) return true;
        SBasePlugin *plugin = e->getPlugin(name);
        if (!plugin) continue;
        std::unique_ptr<List> own(plugin->getAllElements());
        if (own && own->getSize() > 0) return true;
        // The document's own attribute of a package only says whether it is required.
        if (e == &doc) continue;
        std::ostringstream text;
        XMLOutputStream stream(text, "UTF-8", false);
        plugin->writeAttributes(stream);
        if (text.str().find_first_not_of(" \t\r\n") != std::string::npos) return true;
    }
    return false;
}

void convert_or_fail(SBMLDocument &doc, const char *option, const std::string &what) {
    ConversionProperties props;
    props.addOption(option, true);
    if (doc.convert(props) != LIBSBML_OPERATION_SUCCESS) refuse(what);
}

void read_document(const std::string &path, const ImportOptions &opts, ImportedModel &out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) fail(path + ": no such file");
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec) fail(path + ": cannot read the file");
    if (bytes > kMaxFileBytes) fail(path + ": file too large (" + std::to_string(bytes) + " bytes)");
    std::unique_ptr<SBMLDocument> doc(readSBMLFromFile(path.c_str()));
    if (!doc) fail(path + ": cannot read the file");
    first_error(*doc, path);
    if (!doc->getModel()) fail(path + ": no model in the document");
    for (unsigned i = 0; i < doc->getNumPlugins(); ++i) {
        const std::string name = doc->getPlugin(i)->getPackageName();
        // Packages exist in Level 3 only; libSBML also lists its own support of the Level 3
        // Version 2 core math as a plugin with the core's namespace.
        const std::string uri = doc->getPlugin(i)->getURI();
        if (doc->getLevel() < 3 || uri == SBMLNamespaces::getSBMLNamespaceURI(doc->getLevel(), doc->getVersion()))
            continue;
        if (!doc->isPackageEnabled(name)) continue;
        if (opts.for_estimation && !package_used(*doc, name)) {
            out.notes.push_back("package '" + name + "' is declared but not used: ignored");
            continue;
        }
        refuse("package '" + name + "' (SBML packages are not supported)");
    }
    if (doc->getNumUnknownPackages() > 0)
        refuse("package '" + doc->getUnknownPackagePrefix(0) + "' (SBML packages are not supported)");
    // Refusals first, so that an unsupported construct is named rather than reported as a
    // consistency error about it.
    check_refusals(*doc->getModel(), out.notes);
    doc->setConsistencyChecks(LIBSBML_CAT_UNITS_CONSISTENCY, false);
    doc->setConsistencyChecks(LIBSBML_CAT_MODELING_PRACTICE, false);
    doc->setConsistencyChecks(LIBSBML_CAT_SBO_CONSISTENCY, false);
    doc->checkConsistency();
    first_error(*doc, path);
    if (doc->getLevel() < 3 && !doc->setLevelAndVersion(3, 1, false))
        fail(path + ": cannot convert SBML level " + std::to_string(doc->getLevel()) + " to level 3");
    convert_or_fail(*doc, "expandFunctionDefinitions", "function definitions that libSBML cannot expand");
    Model &model = *doc->getModel();
    out.source = printable_name(path);
    detail::translate(model, opts, out);
}

}  // namespace

std::string import_sbml(const std::string &path, const ImportOptions &opts, ImportedModel &out) {
    out = ImportedModel{};
    try {
        read_document(path, opts, out);
        return "";
    } catch (const detail::Failure &f) {
        return f.message;
    } catch (const std::exception &e) {
        return std::string("internal error: ") + e.what();
    }
}

}  // namespace qv::sbml

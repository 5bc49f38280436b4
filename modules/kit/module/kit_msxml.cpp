#include "modules/kit/module/kit_msxml.h"

#include "common/win/com_ptr.h"

namespace kit {
namespace {
void ReadAttributes(IXMLDOMNode* node, XmlElement& e) {
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  long n = 0;
  if (FAILED(node->get_attributes(attributes.out())) || !attributes || FAILED(attributes->get_length(&n))) return;
  for (long i = 0; i < n; ++i) {
    ComPtr<IXMLDOMNode> a;
    Bstr name, value;
    if (SUCCEEDED(attributes->get_item(i, a.out())) && a && SUCCEEDED(a->get_nodeName(name.out())) &&
        SUCCEEDED(a->get_text(value.out())))
      e.attributes.emplace_back(name.str(), value.str());
  }
}
}  // namespace

bool LoadXmlFile(IXMLDOMDocument* doc, const std::u16string& path) {
  doc->put_async(VARIANT_FALSE);
  Bstr file(reinterpret_cast<const wchar_t*>(path.c_str()));
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = file.get();
  VARIANT_BOOL loaded = VARIANT_FALSE;
  return file.get() && SUCCEEDED(doc->load(source, &loaded)) && loaded != VARIANT_FALSE;
}

bool LoadXmlRoot(const std::u16string& path, int levels, XmlElement& root) {
  ComScope com;
  CLSID clsid;
  ComPtr<IXMLDOMDocument> doc;
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(doc.out()))))
    return false;
  ComPtr<IXMLDOMElement> element;
  if (!LoadXmlFile(doc.get(), path) || FAILED(doc->get_documentElement(element.out())) || !element) return false;
  ReadElement(element.get(), levels, root);
  return true;
}

void ReadElement(IXMLDOMNode* node, int levels, XmlElement& e) {
  Bstr name, text;
  if (SUCCEEDED(node->get_nodeName(name.out()))) e.name = name.str();
  if (SUCCEEDED(node->get_text(text.out()))) e.text = text.str();
  VARIANT_BOOL has = VARIANT_FALSE;
  e.hasChildNodes = SUCCEEDED(node->hasChildNodes(&has)) && has != VARIANT_FALSE;
  ReadAttributes(node, e);
  if (levels <= 1) return;
  ComPtr<IXMLDOMNodeList> children;
  long n = 0;
  if (FAILED(node->get_childNodes(children.out())) || !children || FAILED(children->get_length(&n))) return;
  for (long i = 0; i < n; ++i) {
    ComPtr<IXMLDOMNode> child;
    DOMNodeType type;
    if (FAILED(children->get_item(i, child.out())) || !child || FAILED(child->get_nodeType(&type)) ||
        type != NODE_ELEMENT)
      continue;
    e.children.emplace_back();
    ReadElement(child.get(), levels - 1, e.children.back());
  }
}

}  // namespace kit

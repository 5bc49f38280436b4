#include "modules/kit/module/kit_click.h"

#include "modules/kit/module/kit_win.h"

namespace kit {
std::u16string Attribute(IHTMLElement& element, const wchar_t* attribute) {
  Variant value;
  Bstr name(attribute);
  if (name.get() && SUCCEEDED(element.getAttribute(name.get(), 0, &value.get())) && value.get().vt == VT_BSTR &&
      value.get().bstrVal)
    return U16(value.get().bstrVal, SysStringLen(value.get().bstrVal));
  return {};
}

bool ReadClick(IHTMLEventObj* event, PageClick& e, ComPtr<IHTMLElement>& element) {
  Bstr type, tag, id;
  if (FAILED(event->get_type(type.out())) || FAILED(event->get_srcElement(element.out())) || !element) return false;
  e.type = type.str();
  if (FAILED(element->get_tagName(tag.out()))) return false;
  e.tag = tag.str();
  if (SUCCEEDED(element->get_id(id.out()))) e.id = id.str();
  ComPtr<IHTMLInputElement> input;
  ComPtr<IHTMLSelectElement> select;
  VARIANT_BOOL flag = VARIANT_FALSE;
  if (element.As(IID_IHTMLInputElement, input)) {
    if (SUCCEEDED(input->get_checked(&flag))) e.checked = flag != VARIANT_FALSE;
    flag = VARIANT_FALSE;
    if (SUCCEEDED(input->get_disabled(&flag))) e.disabled = flag != VARIANT_FALSE;
  } else if (element.As(IID_IHTMLSelectElement, select)) {
    long index = -1;
    if (SUCCEEDED(select->get_selectedIndex(&index))) e.selectedIndex = static_cast<int>(index);
  }
  e.href = Attribute(*element.get(), L"href");
  e.src = Attribute(*element.get(), L"src");
  return true;
}

}  // namespace kit

#include "modules/registration/reg_settings.h"

namespace reg {

const Settings& DefaultSettings() {
  static const Settings settings{
      // PT-nnKB4nnn: 4-year line; PT-nnKB3nnn: 3-year line; other PT and RX models: Brisklap
      // owner registration; UV-nnGKnnnn: university co-op models.
      u"^PT-\\d\\dKB3\\d\\d\\d",
      u"^((PT)|(RX))-\\a",
      u"^UV-\\d\\dGK\\d\\d\\d\\d",
      u"^PT-\\d\\dKB4\\d\\d\\d",
      u"support.velmorant.example",
      "DrF=8HM-Y>QJ.XCY/|n]H$!]dYi]Ml9vG{V7UgS$^9Tq7dU.Pt]|8l@MZ,Fc4G*]D9a|6{[wuvBn26y>il]Cype9[id9"
      "|s84O7ICv,|Cl]}Zg|4MP8S.*4h;fsEKje)A/RoggE4$[4jDJb4g*#<hR#%*##H/nK^fqn<sE1^QwAkU<.V@7X#1ps6"
      "<IX]&j).q3S|=)QpJ|.^}W[IALQVi:JGNI2S[/uzbVxh#+&Vk_XwX-$HG2><Q*s*gD72{2SI",
  };
  return settings;
}

}  // namespace reg

// The device provider of the simulated camera and its one device.
#include "sim/sim_device_provider.h"

#include "media/gst_ptr.h"
#include "sim/sim_source.h"

namespace kelpa {
namespace {

struct KelpaSimDevice {
    GstDevice parent;
};

struct KelpaSimDeviceClass {
    GstDeviceClass parentClass;
};

G_DEFINE_TYPE(KelpaSimDevice, kelpa_sim_device, GST_TYPE_DEVICE)

GstElement* CreateElement(GstDevice*, const gchar* name) {
    return gst_element_factory_make(kSimSourceFactoryName, name);
}

void kelpa_sim_device_class_init(KelpaSimDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = CreateElement;
}

void kelpa_sim_device_init(KelpaSimDevice*) {}

struct KelpaSimDeviceProvider {
    GstDeviceProvider parent;
};

struct KelpaSimDeviceProviderClass {
    GstDeviceProviderClass parentClass;
};

G_DEFINE_TYPE(KelpaSimDeviceProvider, kelpa_sim_device_provider, GST_TYPE_DEVICE_PROVIDER)

// Returns a floating reference, as probe results are expected to be.
GstDevice* MakeDevice() {
    GstCapsPtr caps = SimSourceCaps({kSimAcceptedFormats.begin(), kSimAcceptedFormats.end()});
    GstStructurePtr properties(gst_structure_new("kelpa-sim-device", kDeviceIdProperty,
                                                 G_TYPE_STRING, kSimDeviceId, "device.api",
                                                 G_TYPE_STRING, "kelpa", nullptr));
    return GST_DEVICE(g_object_new(kelpa_sim_device_get_type(), "display-name",
                                   kSimDeviceDisplayName, "device-class", "Video/Source", "caps",
                                   caps.get(), "properties", properties.get(), nullptr));
}

GList* Probe(GstDeviceProvider*) {
    return g_list_append(nullptr, MakeDevice());
}

void kelpa_sim_device_provider_class_init(KelpaSimDeviceProviderClass* klass) {
    GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = Probe;
    gst_device_provider_class_set_static_metadata(provider, "Telescope Simulator Provider",
                                                  "Source/Video",
                                                  "Lists the simulated telescope camera", "Kelpa");
}

void kelpa_sim_device_provider_init(KelpaSimDeviceProvider*) {}

}  // namespace

bool RegisterSimDeviceProvider(GstPlugin* plugin) {
    return gst_device_provider_register(plugin, kSimDeviceProviderName, GST_RANK_MARGINAL,
                                        kelpa_sim_device_provider_get_type());
}

}  // namespace kelpa

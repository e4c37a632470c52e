package com.halvern.quorbane.client.common;

/** The single-instance guard of the Helper library. */
public final class MultipleInstanceHelper {
    static {
        System.loadLibrary("Helper");
    }

    private MultipleInstanceHelper() {}

    /** True when this process may run as the only holder of the name. */
    public static native boolean checkSingleInstance(String name);
}

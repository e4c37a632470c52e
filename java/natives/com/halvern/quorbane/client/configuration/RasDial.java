package com.halvern.quorbane.client.configuration;

/** Dial-up natives of the Nettaro library. */
public final class RasDial {
    static {
        System.loadLibrary("Nettaro");
    }

    private RasDial() {}

    /** Whether a dial-up connection is up. */
    public static native boolean isConnected();

    /** Dials the first entry of the default phonebook; true when the connection is made. */
    public static native boolean DialUp();

    /** Hangs every connection up. */
    public static native void HangUp();
}

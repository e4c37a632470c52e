/**
 * The probe the launcher runs to confirm a VM described by a VM specification file:
 * {@code java -classpath Verify.jar Verify NAME...}. Prints one banner line (which the launcher
 * skips), then for each system property named on the command line, in order, one line holding
 * its value; an unset property gives an empty line. Kept to the oldest language level so that
 * old VMs run it too.
 */
public class Verify {
    public static void main(String[] args) {
        System.out.println("Verify 1.0");
        for (int i = 0; i < args.length; ++i) {
            String value = System.getProperty(args[i]);
            System.out.println(value == null ? "" : value);
        }
        System.out.flush();
    }
}
